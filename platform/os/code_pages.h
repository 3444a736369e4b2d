#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace os {

// Text in a numbered code page (1252, 850, 437...) to and from UTF-8, as
// the system converts it; nullopt on any character that does not convert,
// or on a code page the system does not know.
std::optional<std::string> decodeCodePage(int codePage, std::string_view bytes);
std::optional<std::string> encodeCodePage(int codePage, std::string_view utf8);

} // namespace os
