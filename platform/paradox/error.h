#pragma once

#include "platform/os/status.h"

#include <stdexcept>
#include <string>

namespace paradox {

// Every failure of the engine: a damaged or unsupported file, a value the
// table refuses, a table in use. The text names the file and what is wrong.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A table that another process holds locked longer than the engine waits.
class TableInUse : public Error {
public:
    using Error::Error;
};

// The engine's error for what failed on a file: "what: reason".
inline Error errorOf(const std::string& what, const os::Status& status)
{
    return Error(what + ": " + status.text());
}

} // namespace paradox
