#pragma once

#include <string>
#include <string_view>

namespace text {

// Bytes from outside (file names, values of a file) as one line of UTF-8 that
// shows every byte: control characters become \r, \n, \t or \xNN, and a byte
// that is not part of valid UTF-8 becomes \xNN. Valid text without controls
// comes back unchanged.
std::string visible(std::string_view bytes);

// The valid UTF-8 sequence that bytes start with: its length, with its code
// point in c; 0 when none starts there (a stray byte, a sequence cut short,
// an overlong form, a surrogate).
size_t utf8Sequence(std::string_view bytes, char32_t& c);

// bytes as valid UTF-8: every byte that starts no valid sequence becomes
// U+FFFD, so that a value from outside never carries bytes that are no text
// into a table, a log line or the terminal.
std::string validText(std::string_view bytes);

} // namespace text
