#include "platform/os/file.h"

#include "platform/os/file_temporary.h"
#include "platform/os/process.h"

#include <algorithm>
#include <cerrno>
#include <utility>

// What every implementation of File shares: moves, and what is built on
// positioned reads and writes.
namespace os {

File::~File() { close(); }

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, closed))
    , path_(std::move(other.path_))
    , unnamed_(other.unnamed_)
    , hooks_(other.hooks_)
{
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, closed);
        path_ = std::move(other.path_);
        unnamed_ = other.unnamed_;
        hooks_ = other.hooks_;
    }
    return *this;
}

void File::adopt(intptr_t handle, std::string path, bool unnamed)
{
    handle_ = handle;
    path_ = std::move(path);
    unnamed_ = unnamed;
}

Status File::readAt(uint8_t* out, size_t n, int64_t at) const
{
    for (size_t done = 0, got = 0; done < n; done += got) {
        if (Status s = readSomeAt(out + done, n - done, at + int64_t(done), got); !s)
            return s;
        if (got == 0)
            return Status::failure(EIO);  // the file ends short
    }
    return {};
}

Status File::readWhole(std::vector<uint8_t>& out) const
{
    out.assign(size_t(std::max<int64_t>(size(), 0)), 0);
    return readAt(out.data(), out.size(), 0);
}

Status File::readToEnd(std::vector<uint8_t>& out) const
{
    out.clear();
    uint8_t buffer[65536];
    for (;;) {
        size_t got = 0;
        if (Status s = readSomeAt(buffer, sizeof buffer, int64_t(out.size()), got); !s)
            return s;
        if (got == 0)
            return {};
        out.insert(out.end(), buffer, buffer + got);
    }
}

Status readRegular(const std::string& path, uint64_t limit, std::vector<uint8_t>& out)
{
    File file;
    if (Status s = File::openRegular(path, Access::Read, file); !s)
        return s;
    if (uint64_t(std::max<int64_t>(file.size(), 0)) > limit)
        return Status::failure(EFBIG);
    return file.readWhole(out);
}

Status createWith(const std::string& path, const std::vector<uint8_t>& data, const Hooks* hooks)
{
    File file;
    if (Status s = File::createNew(path, file); !s)
        return s;
    file.tellTo(hooks);
    const Status written = file.writeAt(data.data(), data.size(), 0);
    file.close();
    if (!written)
        discard(path);
    return written;
}

Status replaceWhole(const std::string& path, const std::vector<uint8_t>& data, const Hooks* hooks)
{
    const std::string temporary = path + ".tessaly-new";
    File file;
    file.tellTo(hooks);
    Status s = File::createOrEmpty(temporary, file);
    if (s)
        s = file.writeAt(data.data(), data.size(), 0);
    if (s)
        s = file.sync();
    file.close();
    if (s)
        s = rename(temporary, path, hooks);
    if (!s)
        discard(temporary);
    return s;
}

Status createBeside(const std::string& shownAs, File& out)
{
    static unsigned counter = 0;  // NOLINT: only makes names distinct within the process
    Status s;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = shownAs + "-" + std::to_string(processId()) + "-" + std::to_string(++counter);
        s = File::createNew(name, out);
        if (s || s.error() != EEXIST)
            return s;
    }
    return s;
}

} // namespace os
