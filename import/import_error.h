#pragma once

#include <stdexcept>

// An error that ends an import run for a reason of the run's own (not of the
// engine, the XML layer or a file's values): the text is the user's message.
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
