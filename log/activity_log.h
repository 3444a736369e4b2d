#pragma once

#include "log/log_file.h"

#include <string>

// The program's activity log: each message one entry, after the regional
// time stamp and " - ". Texts and paths are UTF-8. Writing never throws; a
// file that can't be written is reported by the result, and the first time
// with a notice for the user.
class ActivityLog {
public:
    ActivityLog() = default;
    explicit ActivityLog(std::string path) : path_(std::move(path)) {}

    // The log of a program folder: Tessaly.log in it.
    static std::string pathIn(const std::string& pastaPrograma);

    const std::string& path() const { return path_; }
    void setPath(std::string path) { path_ = std::move(path); }

    // False when the entry could not be written. The first failure of this
    // log also fills notice with what to tell the user: the path and why.
    bool write(const std::string& mensagem, std::string* notice = nullptr);

private:
    std::string path_;
    bool failureTold_ = false;
    activity_log::Writer writer_;
};
