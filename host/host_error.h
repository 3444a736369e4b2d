#pragma once

#include <stdexcept>
#include <string>

// What the start does not expect and does not catch: the platform can't give
// a shell folder, or the host's registry holds a value of the wrong type.
// The text is the user's, as the error box shows it.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The outcome of a step of the start that may be refused: passed, or refused
// with the message (UTF-8) that tells the user why.
class [[nodiscard]] StartupStatus {
public:
    static StartupStatus passed() { return StartupStatus(); }
    static StartupStatus refused(std::string message) { return StartupStatus(std::move(message)); }

    bool ok() const { return !refused_; }
    const std::string& message() const { return message_; }

private:
    StartupStatus() = default;
    explicit StartupStatus(std::string message) : refused_(true), message_(std::move(message)) {}

    bool refused_ = false;
    std::string message_;
};
