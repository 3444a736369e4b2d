#pragma once

#include "platform/os/file.h"

#include <functional>
#include <string>

namespace paradox {

// What a table reaches the disk through and tells of its work, handed to it
// when it is opened, so that two tables of one process may have different
// ones. Default constructed it is the disk as it is, with nothing told. An
// Env outlives the tables (and sessions) given it.
struct Env {
    // Told of every change to the family's files, and may refuse one.
    os::Hooks files;
    // For tests of races: called each time a table has looked at what
    // changed on the disk (refresh), before it goes on.
    std::function<void(const std::string& tablePath)> refreshed;

    // The disk as it is.
    static const Env& plain();
};

} // namespace paradox
