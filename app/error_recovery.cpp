#include "app/error_recovery.h"

#include "app/application.h"

#include <exception>
#include <utility>

namespace {

// The step waits in the application object, where the error handler is.
TApplication* application() { return dynamic_cast<TApplication*>(QCoreApplication::instance()); }

} // namespace

RecoveryAfterError::RecoveryAfterError(std::function<void()> step)
    : uncaught_(std::uncaught_exceptions())
{
    if (TApplication* app = application())
        app->setPendingRecovery(std::move(step));
}

RecoveryAfterError::~RecoveryAfterError()
{
    TApplication* app = application();
    if (app && std::uncaught_exceptions() == uncaught_)
        app->setPendingRecovery(nullptr);
}
