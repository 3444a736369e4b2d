#pragma once

#include "platform/paradox/error.h"

namespace db {

// A statement the engine does not understand, or a parameter it lacks.
class SqlError : public paradox::Error {
public:
    using paradox::Error::Error;
};

} // namespace db
