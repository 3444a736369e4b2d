#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace paradox {

// The memo file (.MB) of a table, read whole when first needed.
class MemoFile {
public:
    // Empty path: the table has no memo file.
    explicit MemoFile(std::string path) : path_(std::move(path)) {}

    // The value a BLOB field refers to, given its 10-byte descriptor (offset
    // with the slot index in its low byte, length, modification number).
    // Raises Error when the file is missing or does not hold the value.
    std::string read(const uint8_t* descriptor);

private:
    void load();

    std::string path_;
    bool loaded_ = false;
    std::vector<uint8_t> data_;
};

} // namespace paradox
