#include "app/error_recovery.h"

#include <exception>
#include <utility>

namespace {
std::function<void()> pending;
}

RecoveryAfterError::RecoveryAfterError(std::function<void()> step)
    : uncaught_(std::uncaught_exceptions())
{
    pending = std::move(step);
}

RecoveryAfterError::~RecoveryAfterError()
{
    if (std::uncaught_exceptions() == uncaught_)
        pending = nullptr;
}

void runPendingRecovery()
{
    std::function<void()> step = std::move(pending);
    pending = nullptr;
    if (step)
        step();
}
