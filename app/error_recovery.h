#pragma once

#include <functional>

// A step that puts the window right again when an error ends an operation
// that had locked it. It stands for the length of the operation; when an
// error escapes, the application's error handler runs it after the error box
// is closed.
class RecoveryAfterError {
public:
    explicit RecoveryAfterError(std::function<void()> step);
    ~RecoveryAfterError();
    RecoveryAfterError(const RecoveryAfterError&) = delete;
    RecoveryAfterError& operator=(const RecoveryAfterError&) = delete;

private:
    int uncaught_;
};
