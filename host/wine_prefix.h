#pragma once

#include <QString>

// The Wine prefix in which the host application is installed: $WINEPREFIX,
// or ~/.wine when that is unset.
class WinePrefix {
public:
    WinePrefix();
    explicit WinePrefix(QString root) : root_(std::move(root)) {}

    const QString& root() const { return root_; }
    QString systemRegistry() const { return root_ + QStringLiteral("/system.reg"); }

    // The native path of a Windows path ("C:\Pelko\ROTAS.INI"): the drive
    // through the prefix's dosdevices link (for C: also drive_c), each
    // further part matched without regard to case. A path without a drive
    // letter is taken relative to relativeTo (a native folder). Empty when
    // the path can't be placed (a network path, a drive the prefix lacks).
    QString nativePath(const QString& windowsPath, const QString& relativeTo = {}) const;

private:
    QString root_;
};

// The entry of folder whose name matches name without regard to case; the
// name itself when there is none.
QString matchCaseInsensitive(const QString& folder, const QString& name);
