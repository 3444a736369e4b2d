#pragma once

#include "log/log_file.h"

#include <QString>

// The program's activity log: each message one entry, after the regional
// time stamp and " - ". Writing never throws; a file that can't be written
// is reported by the result, and the first time with a notice for the user.
class ActivityLog {
public:
    ActivityLog() = default;
    explicit ActivityLog(QString path) : path_(std::move(path)) {}

    // The log of a program folder: Tessaly.log in it.
    static QString pathIn(const QString& pastaPrograma);

    const QString& path() const { return path_; }
    void setPath(QString path) { path_ = std::move(path); }

    // False when the entry could not be written. The first failure of this
    // log also fills notice with what to tell the user: the path and why.
    bool write(const QString& mensagem, QString* notice = nullptr);

private:
    QString path_;
    bool failureTold_ = false;
    activity_log::Writer writer_;
};
