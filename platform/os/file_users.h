#pragma once

#include <functional>
#include <string>
#include <vector>

// Other processes' use of files, as far as this machine shows it.
namespace os {

struct FileUse {
    enum class How { Lock, Open };
    How how = How::Lock;
    std::string path;     // which of the files
    long pid = 0;         // 0 when the system does not tell (some locks)
    std::string program;  // the process's name, when known
};

// Whether a process other than this one has the file open or holds a lock
// on it. A file that does not exist is in use by nobody.
bool fileInUseByOthers(const std::string& path);

// Deletes the regular file name of folder unless another process uses it
// (fileInUseByOthers). The folder is held open while the file is judged and
// deleted, so that a link put in place of either meanwhile leads nowhere
// else; a folder that is itself a link is not entered unless
// folderMayBeLink. Nothing there, or anything but a regular file: nothing
// done.
void removeUnlessInUse(const std::string& folder, const std::string& name, bool folderMayBeLink);

// The first of the files that another process holds a byte-range lock on
// (found false when none). The whole-file advisory locks of File::tryLock
// are not counted, nor this process's own locks.
bool lockedByOthers(const std::vector<std::string>& files, FileUse& use);

// The first of the files that another process has open, passing over
// processes whose program (the path of its executable) ignore accepts.
bool openByOthers(const std::vector<std::string>& files,
                  const std::function<bool(const std::string& program)>& ignore, FileUse& use);

// The path of this process's own executable; empty when not known.
std::string ownProgram();

} // namespace os
