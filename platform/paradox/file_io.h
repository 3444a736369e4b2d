#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// Whole reads and writes at an offset: the one place where the engine's
// table and index files are written, so that tests can stop a writer between
// any two writes.
namespace paradox::file_io {

bool readAt(int fd, uint8_t* out, size_t n, off_t at);
bool writeAt(int fd, const uint8_t* data, size_t n, off_t at);

// Called before every write; a test may end the process there.
using WriteObserver = void (*)();
void setWriteObserver(WriteObserver observer);

} // namespace paradox::file_io
