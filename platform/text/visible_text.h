#pragma once

#include <string>
#include <string_view>

namespace text {

// Bytes from outside (file names, values of a file) as one line of UTF-8 that
// shows every byte: control characters become \r, \n, \t or \xNN, and a byte
// that is not part of valid UTF-8 becomes \xNN. Valid text without controls
// comes back unchanged.
std::string visible(std::string_view bytes);

} // namespace text
