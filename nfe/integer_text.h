#pragma once

#include <cstdint>
#include <string_view>

// Reads a 32-bit signed integer the way the host's tools write one: leading
// blanks, an optional sign, then decimal digits or a hexadecimal number after
// "$" or "0x"; nothing else. Hexadecimal takes the full 32 bits.
bool textToInt32(std::string_view text, int32_t& value);
