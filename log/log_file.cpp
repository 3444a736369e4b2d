#include "log/log_file.h"

#include "platform/paradox/file_io.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdint>
#include <fcntl.h>
#include <map>
#include <thread>
#include <vector>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace activity_log {
namespace {

constexpr std::string_view crlf = "\r\n";

int64_t mtimeOf(const struct stat& st)
{
    return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool sameFile(const KnownState& k, const struct stat& st)
{
    return k.dev == st.st_dev && k.ino == st.st_ino && k.size == st.st_size && k.mtimeNs == mtimeOf(st);
}

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    std::string out;
    auto unit = [&](size_t i) {
        const auto a = uint8_t(bytes[i]);
        const auto b = uint8_t(bytes[i + 1]);
        return bigEndian ? uint32_t(a << 8 | b) : uint32_t(b << 8 | a);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        appendUtf8(out, cp);
    }
    return out;
}

// The text of a file as its byte-order mark says, in UTF-8.
std::string decoded(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return std::string(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE"))
        return utf16ToUtf8(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return utf16ToUtf8(bytes.substr(2), true);
    return std::string(bytes);
}

std::string splitAndJoin(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        out.append(text.substr(start, i - start));
        out.append(crlf);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size()) {
        out.append(text.substr(start));
        out.append(crlf);
    }
    return out;
}

bool inNormalForm(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        return false;
    if (bytes.empty())
        return true;
    if (!bytes.ends_with(crlf))
        return false;
    // Every line feed follows a carriage return and every carriage return
    // precedes a line feed.
    const char* begin = bytes.data();
    const char* end = begin + bytes.size();
    for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)))); ++p)
        if (p == begin || p[-1] != '\r')
            return false;
    for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)))); ++p)
        if (p + 1 == end || p[1] != '\n')
            return false;
    return true;
}

// A log in normal form but for a last line cut short (no line break after
// it): its normal form is the file with the break added, written in place.
bool onlyLastLineTorn(std::string_view bytes)
{
    const size_t lastBreak = bytes.rfind(crlf);
    const size_t tailAt = lastBreak == std::string_view::npos ? 0 : lastBreak + 2;
    const std::string_view tail = bytes.substr(tailAt);
    return !tail.empty() && tail.find_first_of("\r\n") == std::string_view::npos && inNormalForm(bytes.substr(0, tailAt))
        && !bytes.starts_with("\xEF\xBB\xBF") && !bytes.starts_with("\xFF\xFE") && !bytes.starts_with("\xFE\xFF");
}

bool containsBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}


bool readAll(int fd, off_t from, off_t to, std::string& out)
{
    out.resize(size_t(to - from));
    const auto status = paradox::file_io::readAt(fd, reinterpret_cast<uint8_t*>(out.data()), out.size(), from);
    errno = status.error();
    return status.ok();
}

bool writeAll(int fd, std::string_view data, off_t at)
{
    const auto status = paradox::file_io::writeAt(fd, reinterpret_cast<const uint8_t*>(data.data()), data.size(), at);
    errno = status.error();
    return status.ok();
}

// Replaces the file by its normal form, whole or not at all.
bool replaceWithNormalForm(const std::string& path, std::string_view bytes)
{
    const std::string text = normalised(bytes);
    const auto status = paradox::file_io::replaceWhole(path, std::vector<uint8_t>(text.begin(), text.end()));
    errno = status.error();
    return status.ok();
}

// The log's lock, waited for a bounded time: a copy stopped while it holds
// it (Ctrl-Z) leaves this one without its entry, not hanging.
bool lockLog(int fd)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= until) {
            errno = EWOULDBLOCK;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Opens the log, locked against other copies of the program, in normal form
// except for a known last entry; fills state.
int openInNormalForm(const std::string& path, const std::map<std::string, KnownState>& knownLogs,
                     KnownState& state)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Without blocking, should the log's name have become a FIFO.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
        if (fd < 0)
            return -1;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !lockLog(fd)) {
            const int error = S_ISREG(st.st_mode) || st.st_mode == 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            ::close(fd);
            errno = error;
            return -1;
        }
        auto known = knownLogs.find(path);
        if (known != knownLogs.end() && sameFile(known->second, st)) {
            state = known->second;
            return fd;
        }
        // Mapped rather than read: a log of many megabytes is only looked at.
        const size_t size = size_t(st.st_size);
        void* mapped = size ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : nullptr;
        if (size && mapped == MAP_FAILED) {
            ::close(fd);
            return -1;
        }
        const std::string_view bytes(static_cast<const char*>(mapped), size);
        const bool normal = inNormalForm(bytes);
        const bool torn = !normal && onlyLastLineTorn(bytes);
        const std::string copy = normal || torn ? std::string() : std::string(bytes);
        if (size)
            ::munmap(mapped, size);
        if (torn) {
            if (!writeAll(fd, crlf, st.st_size) || ::fstat(fd, &st) != 0) {
                const int error = errno;
                ::close(fd);
                errno = error;
                return -1;
            }
            state = KnownState{st.st_dev, st.st_ino, st.st_size, mtimeOf(st), -1};
            return fd;
        }
        if (normal) {
            state = KnownState{st.st_dev, st.st_ino, st.st_size, mtimeOf(st), -1};
            return fd;
        }
        const bool replaced = replaceWithNormalForm(path, copy);
        ::close(fd);
        if (!replaced)
            return -1;
    }
    return -1;
}

} // namespace

bool Writer::appendEntry(const std::string& path, std::string_view entry)
{
    KnownState state;
    const paradox::file_io::Descriptor fd(openInNormalForm(path, known_, state));
    if (fd.get() < 0)
        return false;

    // The last entry's own line breaks become line breaks of the file now,
    // in the same write as the new entry.
    off_t at = state.size;
    std::string data;
    if (state.rawEntryAt >= 0) {
        if (!readAll(fd.get(), state.rawEntryAt, state.size, data))
            return false;
        data = splitAndJoin(data);
        at = state.rawEntryAt;
    }
    const off_t entryAt = at + off_t(data.size());
    data.append(entry);
    data.append(crlf);
    if (!writeAll(fd.get(), data, at)) {
        // A full disk may have taken part of it: the file stays as it was.
        const int error = errno;
        [[maybe_unused]] const int truncated = ::ftruncate(fd.get(), state.size);
        errno = error;
        return false;
    }

    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return false;
    known_[path] = KnownState{st.st_dev, st.st_ino, st.st_size, mtimeOf(st),
                                   containsBreak(entry) ? entryAt : off_t(-1)};
    return true;
}

std::string normalised(std::string_view bytes)
{
    return splitAndJoin(decoded(bytes));
}

bool Writer::append(const std::string& path, std::string_view entry, std::string* failure)
{
    const bool written = appendEntry(path, entry);
    if (!written && failure) {
        struct stat st {};
        const int error = errno;
        const bool odd = ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
        *failure = odd ? "não é um arquivo comum" : std::strerror(error);
    }
    return written;
}

} // namespace activity_log
