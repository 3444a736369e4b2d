#pragma once

#include <string>

// The Wine prefix in which the host application is installed: $WINEPREFIX,
// or ~/.wine when that is unset. Paths are UTF-8.
class WinePrefix {
public:
    WinePrefix();
    explicit WinePrefix(std::string root) : root_(std::move(root)) {}

    const std::string& root() const { return root_; }
    std::string systemRegistry() const { return root_ + "/system.reg"; }

    // The native path of a Windows path ("C:\Pelko\ROTAS.INI"): the drive
    // through the prefix's dosdevices link (for C: also drive_c), each
    // further part matched without regard to case. A path without a drive
    // letter is taken relative to relativeTo (a native folder). Empty when
    // the path can't be placed (a network path, a drive the prefix lacks).
    std::string nativePath(const std::string& windowsPath, const std::string& relativeTo = {}) const;

private:
    std::string root_;
};

// The entry of folder whose name matches name without regard to case; the
// name itself when there is none.
std::string matchCaseInsensitive(const std::string& folder, const std::string& name);
