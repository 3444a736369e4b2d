#pragma once

#include <functional>

// The step that puts the window right again when an error ends an operation
// that had locked it. The window's error handler runs it once, after the
// error box is closed.
class ErrorRecovery {
public:
    void set(std::function<void()> step) { step_ = std::move(step); }
    void clear() { step_ = nullptr; }
    // Runs the step waiting, if any, and forgets it.
    void runPending();

private:
    std::function<void()> step_;
};

// Holds a step in an ErrorRecovery for the length of an operation: when the
// operation ends without an error the step is forgotten; when an error
// escapes, it stays for the error handler.
class RecoveryAfterError {
public:
    RecoveryAfterError(ErrorRecovery& recovery, std::function<void()> step);
    ~RecoveryAfterError();
    RecoveryAfterError(const RecoveryAfterError&) = delete;
    RecoveryAfterError& operator=(const RecoveryAfterError&) = delete;

private:
    ErrorRecovery& recovery_;
    int uncaught_;
};
