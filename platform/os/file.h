#pragma once

#include "platform/os/status.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Files as the engine, the log and the XML reader use them. Paths are UTF-8.
// Every change to a file that must reach the disk in order (a write, a
// truncation, a flush, a removal, a rename) is first told to the hooks the
// file or call was given, if any, which may refuse it, so that tests can stop
// a writer between any two changes or replay them as a power cut might have
// left the disk.
namespace os {

// What identifies a file's content without reading it: which file, its size
// and time of change.
struct Identity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t changedNs = 0;
    bool operator==(const Identity&) const = default;
};

enum class Access { Read, ReadWrite };
// What a path names or a file is.
enum class Kind { None, Regular, Folder, Link, Fifo, Socket, Device, Other, Unknown };
enum class LockMode { Shared, Exclusive };

// A change about to be made, with the path of the file it concerns.
struct Event {
    enum class Kind { Write, Truncate, Sync, Remove, Rename, SyncFolder, CreateUnnamed };
    Kind kind;
    const std::string& path;
    int64_t at = 0;  // Write: where; Truncate: the new size
    const uint8_t* data = nullptr;
    size_t size = 0;
    const std::string* target = nullptr;  // Rename: the new name
};

// What the changes made through a file or a call are told to. None (a null
// pointer, or empty functions) is the disk as it is. Whoever hands hooks to
// a file keeps them alive as long as the file.
struct Hooks {
    // Called before every change; a test may end the process there, or
    // record the changes.
    std::function<void(const Event&)> observe;
    // For tests of failures: an error to give instead of making the change
    // (a disk that fails), 0 to make it. Also asked before an unnamed file
    // is made (CreateUnnamed, never told to the observer).
    std::function<int(const Event&)> inject;
};

// An open file, closed when it goes. Its changes are told under the path it
// was opened with.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return handle_ != closed; }
    const std::string& path() const { return path_; }
    void close();
    // The hooks this file's changes are told to (none at first; kept when
    // the file is opened anew into this object).
    void tellTo(const Hooks* hooks) { hooks_ = hooks; }
    const Hooks* hooks() const { return hooks_; }

    // Opens an existing file.
    static Status open(const std::string& path, Access access, File& out);
    // Opens a regular file only: never through a link, never waiting on a
    // FIFO or a device (EINVAL for anything else than a regular file).
    static Status openRegular(const std::string& path, Access access, File& out);
    // Opens a regular file for reading and writing, creating it when it is
    // missing; never waits on a FIFO or a device (EISDIR for a folder, EINVAL
    // for anything else that is no regular file).
    static Status openOrCreateRegular(const std::string& path, File& out);
    // Opens whatever path names (links followed) for reading, never waiting
    // on a FIFO or a device; ENXIO for a socket.
    static Status openForReading(const std::string& path, File& out);
    // Creates a file that must not exist yet (EEXIST), never through a link.
    static Status createNew(const std::string& path, File& out);
    // Creates the file, or empties the one there.
    static Status createOrEmpty(const std::string& path, File& out);
    // A new file that is to take path's place once whole (place()): a file
    // without a name where the file system has them, else one under a name
    // of its own beside path that starts with path + "-new". Its changes are
    // told under path + "-new" or that name, to hooks.
    static Status createTemporaryFor(const std::string& path, File& out, const Hooks* hooks = nullptr);

    Identity identity() const;  // all zero when it can't be had
    // What the open file is; Unknown when it can't be looked at.
    Kind kind() const;
    int64_t size() const { return identity().size; }
    // False once the file's last name is gone.
    bool named() const;
    // n bytes at offset at (EIO when the file ends before).
    Status readAt(uint8_t* out, size_t n, int64_t at) const;
    Status readWhole(std::vector<uint8_t>& out) const;
    // The content read up to its end, past the size the system gives (none,
    // for the files of /proc).
    Status readToEnd(std::vector<uint8_t>& out) const;
    // Up to n bytes at offset at, as many as one read gives (got 0: the end).
    Status readSomeAt(uint8_t* out, size_t n, int64_t at, size_t& got) const;
    Status writeAt(const uint8_t* data, size_t n, int64_t at) const;
    Status truncate(int64_t size) const;
    // The file's data on the disk.
    Status sync() const;
    // Gives a temporary file of createTemporaryFor its place: a name that
    // must be free for a file without one, a rename over path otherwise.
    // Told as a rename from the name its changes were told under.
    Status place(const std::string& path);
    // Whether the temporary has no name of its own.
    bool unnamed() const { return unnamed_; }

    // An advisory lock on the whole file, shared or exclusive, as copies of
    // this program take them: EWOULDBLOCK while another holds it. Released
    // by unlock() or when the file is closed.
    Status tryLock(LockMode mode) const;
    // The same, waiting as long as another holds it.
    Status lock(LockMode mode) const;
    void unlock() const;
    // A write lock over the whole file of the kind other programs' byte-range
    // locks meet (the host's engine under its compatibility layer): EAGAIN
    // or EACCES while another holds such a lock. Released by
    // unlockForeignWrites() or when the file is closed.
    Status tryLockAgainstForeignWrites() const;
    void unlockForeignWrites() const;
    // The same file opened once more, with locks of its own.
    Status reopen(Access access, File& out) const;

private:
    friend class View;
    friend struct NativeFile;  // each implementation's own helpers
    void adopt(intptr_t handle, std::string path, bool unnamed);
    static constexpr intptr_t closed = -1;
    intptr_t handle_ = closed;  // a descriptor or a handle, as the system has them
    std::string path_;
    bool unnamed_ = false;
    const Hooks* hooks_ = nullptr;
};

// The whole content of an open file, mapped rather than read: a file of
// many megabytes is only looked at. Valid while the view lives.
class View {
public:
    View() = default;
    ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;
    static Status of(const File& file, View& out);
    std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }

private:
    void* data_ = nullptr;
    size_t size_ = 0;
};

// The whole content of a regular file no larger than limit (EFBIG when it
// is larger, checked before anything is read).
Status readRegular(const std::string& path, uint64_t limit, std::vector<uint8_t>& out);
// The calls below that change the disk tell their changes to hooks.
// A new file that must not exist yet, with data as its content; nothing is
// left behind when it fails.
Status createWith(const std::string& path, const std::vector<uint8_t>& data, const Hooks* hooks = nullptr);
// Replaces the file at path by one holding data, whole or not at all: a file
// beside it, flushed, renamed over it.
Status replaceWhole(const std::string& path, const std::vector<uint8_t>& data, const Hooks* hooks = nullptr);
Status remove(const std::string& path, const Hooks* hooks = nullptr);
Status rename(const std::string& from, const std::string& to, const Hooks* hooks = nullptr);
// The names in the folder on the disk: a created, renamed or removed entry.
Status syncFolder(const std::string& folder, const Hooks* hooks = nullptr);
// Removes a file this program made and gave up on before it counted: not a
// change the observer is told of.
void discard(const std::string& path);

// The identity of the file at path, links followed; all zero when it can't
// be looked at.
Identity identityAt(const std::string& path);

// What a path names, looked at without opening it.
struct Facts {
    Kind kind = Kind::None;  // None: nothing there; Unknown: it could not be looked at
    uint64_t size = 0;
};
// followLinks: a link is looked at as what it points to.
Facts factsOf(const std::string& path, bool followLinks);

} // namespace os
