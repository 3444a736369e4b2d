#include "app/error_recovery.h"

#include <exception>
#include <utility>

void ErrorRecovery::runPending()
{
    std::function<void()> step = std::move(step_);
    step_ = nullptr;
    if (step)
        step();
}

RecoveryAfterError::RecoveryAfterError(ErrorRecovery& recovery, std::function<void()> step)
    : recovery_(recovery), uncaught_(std::uncaught_exceptions())
{
    recovery_.set(std::move(step));
}

RecoveryAfterError::~RecoveryAfterError()
{
    if (std::uncaught_exceptions() == uncaught_)
        recovery_.clear();
}
