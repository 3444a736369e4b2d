#include "platform/paradox/journal.h"

#include "platform/paradox/bytes.h"
#include "platform/paradox/error.h"
#include "platform/paradox/fence.h"
#include "platform/paradox/file_names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace paradox {
namespace {

constexpr char magic[8] = {'T', 'S', 'L', 'Y', 'J', 'R', 'N', '1'};

void putU64(std::vector<uint8_t>& out, uint64_t v)
{
    uint8_t le[8];
    bytes::putU64le(le, v);
    out.insert(out.end(), le, le + 8);
}

Error failure(const std::string& what, const std::string& path, const file_io::Status& status)
{
    return file_io::errorOf(what + " " + path, status);
}

// Writes the journal bytes into a file without a name (or, where the file
// system has none, under a name beside its place), flushes them and gives
// them their place, the folder flushed too: a journal is either whole at its
// place or not there. The descriptor returned holds the journal's lock, which
// tells others that its writer lives; an unnamed file is locked before anyone
// can see it.
int placeJournal(const std::string& journalPath, const std::vector<uint8_t>& bytes)
{
    const std::string temporary = journalPath + "-new";
    int fd = -1;
    const bool unnamed = file_io::openUnnamed(folderOf(journalPath), fd).ok();
    if (!unnamed)
        if (auto s = file_io::open(temporary, O_RDWR | O_CREAT | O_TRUNC, fd); !s)
            throw failure("Não foi possível criar o diário de gravação", temporary, s);
    ::flock(fd, LOCK_EX);
    file_io::Status s = file_io::writeAt(temporary, fd, bytes.data(), bytes.size(), 0);
    if (s)
        s = file_io::sync(temporary, fd);
    if (s)
        s = unnamed ? file_io::nameFile(fd, temporary, journalPath) : file_io::rename(temporary, journalPath);
    if (s)
        s = file_io::syncFolder(folderOf(journalPath));
    if (!s) {
        if (!unnamed)
            ::unlink(temporary.c_str());
        ::close(fd);
        throw failure("Não foi possível gravar o diário de gravação", journalPath, s);
    }
    return fd;
}

} // namespace

file_io::Status restoreOriginals(const std::string& folder, const std::vector<JournalRecord>& records)
{
    for (const JournalRecord& f : records) {
        if (f.kind != 'F')
            continue;
        const std::string path = folder + "/" + f.name;
        int fd = -1;
        if (auto s = file_io::open(path, O_RDWR, fd); !s)
            return s;
        const file_io::Descriptor held(fd);
        for (const JournalRecord& p : records)
            if (p.kind == 'P' && p.name == f.name)
                if (auto s = file_io::writeAt(path, fd, p.bytes.data(), p.bytes.size(), off_t(p.value)); !s)
                    return s;
        if (file_io::identityOf(fd).size != off_t(f.value))
            if (auto s = file_io::truncate(path, fd, off_t(f.value)); !s)
                return s;
        if (auto s = file_io::sync(path, fd); !s)
            return s;
    }
    return {};
}

namespace {

// Removes the journal, the folder flushed: the moment of the commit, or the
// end of a playback.
file_io::Status removeJournal(const std::string& journalPath)
{
    file_io::Status s = file_io::remove(journalPath);
    if (s)
        s = file_io::syncFolder(folderOf(journalPath));
    return s;
}

} // namespace

uint64_t checksumOf(const uint8_t* data, size_t n, uint64_t seed)
{
    uint64_t h = seed ^ 0x9E3779B97F4A7C15ull ^ n;
    auto mix = [&](uint64_t v) {
        h ^= v * 0xBF58476D1CE4E5B9ull;
        h = (h << 31) | (h >> 33);
        h *= 0x94D049BB133111EBull;
    };
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
        mix(bytes::u64le(data + i));
    uint64_t tail = 0;
    for (size_t k = 0; i + k < n; ++k)
        tail |= uint64_t(data[i + k]) << (8 * k);
    mix(tail ^ 0xFF);
    return h ^ (h >> 29);
}

std::vector<uint8_t> writeJournal(const std::vector<JournalRecord>& records)
{
    std::vector<uint8_t> out(magic, magic + sizeof magic);
    for (const JournalRecord& r : records) {
        out.push_back(uint8_t(r.kind));
        out.push_back(uint8_t(r.name.size()));
        out.push_back(uint8_t(r.name.size() >> 8));
        out.insert(out.end(), r.name.begin(), r.name.end());
        putU64(out, r.value);
        putU64(out, r.kind == 'P' ? r.bytes.size() : r.check);
        if (r.kind == 'P')
            out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    }
    out.push_back('E');
    putU64(out, records.size());
    putU64(out, checksumOf(out.data(), out.size()));
    return out;
}

std::vector<JournalRecord> readJournal(const std::vector<uint8_t>& journal)
{
    std::vector<JournalRecord> records;
    const size_t n = journal.size();
    if (n < sizeof magic + 17 || std::memcmp(journal.data(), magic, sizeof magic) != 0)
        return {};
    // The seal: every byte before it, and how many records.
    if (journal[n - 17] != 'E' || bytes::u64le(journal.data() + n - 8) != checksumOf(journal.data(), n - 8))
        return {};
    size_t at = sizeof magic;
    while (at < n - 17) {
        if (at + 3 > n - 17)
            return {};
        JournalRecord r;
        r.kind = char(journal[at]);
        const size_t nameSize = bytes::u16le(journal.data() + at + 1);
        at += 3;
        if (at + nameSize + 16 > n - 17)
            return {};
        r.name.assign(reinterpret_cast<const char*>(journal.data() + at), nameSize);
        at += nameSize;
        r.value = bytes::u64le(journal.data() + at);
        const uint64_t second = bytes::u64le(journal.data() + at + 8);
        at += 16;
        if (r.kind == 'P') {
            if (second > n - 17 - at)
                return {};
            r.bytes.assign(journal.begin() + ptrdiff_t(at), journal.begin() + ptrdiff_t(at + second));
            at += size_t(second);
        } else {
            r.check = second;
        }
        if (r.name.empty() || r.name.find('/') != std::string::npos || (r.kind != 'F' && r.kind != 'P' && r.kind != 'S'))
            return {};
        records.push_back(std::move(r));
    }
    if (at != n - 17 || bytes::u64le(journal.data() + n - 16) != records.size())
        return {};
    return records;
}

Journal::Journal(std::string tablePath) : tablePath_(std::move(tablePath)) {}

Journal::~Journal() = default;

std::string Journal::pathFor(const std::string& tablePath)
{
    return folderOf(tablePath) + "/" + stemOf(tablePath) + ".tessaly-journal";
}

namespace {

// A journal that its writer left before it was in place changed nothing.
// (Only where the file system has no unnamed files: a reader may then, in
// the instant between its creation and its lock, take a live one away, and
// that commit fails before any table file is changed.)
void removeAbandoned(const std::string& temporary)
{
    int fd = -1;
    if (!file_io::open(temporary, O_RDONLY, fd))
        return;
    const file_io::Descriptor held(fd);
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(temporary.c_str());
}

} // namespace

bool Journal::recover(const std::string& tablePath)
{
    const std::string journalPath = pathFor(tablePath);
    removeAbandoned(journalPath + "-new");
    int fd = -1;
    if (!file_io::open(journalPath, O_RDONLY, fd))
        return false;
    const file_io::Descriptor held(fd);
    ::flock(fd, LOCK_EX);  // a live writer is committing: its end is awaited
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_nlink == 0)
        return false;  // it committed meanwhile
    std::vector<uint8_t> bytes;
    if (auto s = file_io::readWhole(fd, bytes); !s)
        throw failure("Não foi possível ler o diário de gravação", journalPath, s);
    // A journal without its seal was cut short before any file was changed.
    file_io::Status s = restoreOriginals(folderOf(tablePath), readJournal(bytes));
    if (s)
        s = removeJournal(journalPath);
    if (!s)
        throw file_io::errorOf("A tabela " + fileNameOf(tablePath)
                                   + " tem uma gravação interrompida que não pôde ser desfeita ("
                                   + journalPath + ")",
                               s);
    return true;
}

void Journal::playBack(const std::string& tablePath, const std::vector<uint8_t>& journal)
{
    const int fd = placeJournal(pathFor(tablePath), journal);
    ::close(fd);
    recover(tablePath);
}

void Journal::begin() { ++depth_; }

void Journal::end()
{
    if (depth_ == 0 || --depth_ > 0)
        return;
    commit();
}

void Journal::rollback()
{
    depth_ = 0;
    finish();
}

void Journal::finish()
{
    files_.clear();
    levels_.clear();
    fence_.reset();
}

void Journal::hold(std::unique_ptr<Fence> fence) { fence_ = std::move(fence); }

size_t Journal::savepoint()
{
    levels_.emplace_back();
    return levels_.size() - 1;
}

void Journal::release(size_t savepoint)
{
    while (levels_.size() > savepoint) {
        Level inner = std::move(levels_.back());
        levels_.pop_back();
        if (levels_.empty())
            break;
        for (auto& [key, before] : inner)
            levels_.back().try_emplace(key, std::move(before));
    }
}

void Journal::rollbackTo(size_t savepoint)
{
    while (levels_.size() > savepoint) {
        Level level = std::move(levels_.back());
        levels_.pop_back();
        // Pages first, then the sizes and files they belong to.
        for (auto& [key, before] : level) {
            if (key.second == noPage)
                continue;
            auto& pages = files_.at(key.first).pages;
            if (before.page)
                pages[key.second] = std::move(*before.page);
            else
                pages.erase(key.second);
        }
        for (auto& [key, before] : level) {
            if (key.second != noPage)
                continue;
            if (before.fileHeld)
                files_.at(key.first).size = before.size;
            else
                files_.erase(key.first);
        }
    }
}

// Remembers a file's size (or that it was not held) before a change.
void Journal::noteSize(const std::string& path, const File* file)
{
    if (levels_.empty())
        return;
    levels_.back().try_emplace({path, noPage}, Before{std::nullopt, file ? file->size : 0, file != nullptr});
}

Journal::File& Journal::fileOf(const std::string& path, int fd)
{
    if (auto it = files_.find(path); it != files_.end())
        return it->second;
    noteSize(path, nullptr);
    const off_t size = file_io::identityOf(fd).size;
    File& f = files_[path];
    f.original = f.size = size;
    return f;
}

Journal::Page& Journal::pageOf(File& file, const std::string& path, int fd, uint64_t page)
{
    auto it = file.pages.find(page);
    if (!levels_.empty())
        levels_.back().try_emplace({path, page}, Before{it == file.pages.end() ? std::nullopt : std::optional(it->second)});
    if (it != file.pages.end())
        return it->second;
    Page p(pageSize, 0);
    const off_t start = off_t(page * pageSize);
    if (start < file.original) {
        const size_t n = size_t(std::min<off_t>(off_t(pageSize), file.original - start));
        if (auto s = file_io::readAt(fd, p.data(), n, start); !s)
            throw failure("Não foi possível ler", path, s);
    }
    return file.pages.emplace(page, std::move(p)).first->second;
}

void Journal::resize(File& file, const std::string& path, off_t size)
{
    if (size == file.size)
        return;
    noteSize(path, &file);
    file.size = size;
}

void Journal::write(const std::string& path, int fd, const uint8_t* data, size_t n, off_t at)
{
    if (depth_ == 0)
        throw Error("Gravação fora de uma transação em " + path + ".");
    File& f = fileOf(path, fd);
    size_t done = 0;
    while (done < n) {
        const uint64_t offset = uint64_t(at) + done;
        const uint64_t page = offset / pageSize;
        const size_t within = size_t(offset % pageSize);
        const size_t part = std::min(n - done, pageSize - within);
        Page& p = pageOf(f, path, fd, page);
        std::memcpy(p.data() + within, data + done, part);
        done += part;
    }
    if (at + off_t(n) > f.size)
        resize(f, path, at + off_t(n));
}

void Journal::replace(const std::string& path, int fd, const std::vector<uint8_t>& data)
{
    File& f = fileOf(path, fd);
    const off_t size = off_t(data.size());
    resize(f, path, size);
    write(path, fd, data.data(), data.size(), 0);
    // Whatever lay beyond the new end, on the disk or held, reads as zeros
    // should the file grow again.
    const uint64_t held = f.pages.empty() ? 0 : f.pages.rbegin()->first + 1;
    const uint64_t end = std::max((uint64_t(f.original) + pageSize - 1) / pageSize, held);
    for (uint64_t page = uint64_t(size) / pageSize; page < end; ++page) {
        Page& p = pageOf(f, path, fd, page);
        const off_t start = off_t(page * pageSize);
        std::fill(p.begin() + std::max<ptrdiff_t>(0, ptrdiff_t(size - start)), p.end(), 0);
    }
}

file_io::Status Journal::read(const std::string& path, int fd, uint8_t* out, size_t n, off_t at) const
{
    const auto it = files_.find(path);
    if (it == files_.end())
        return file_io::readAt(fd, out, n, at);
    const File& f = it->second;
    if (at < 0 || at + off_t(n) > f.size)
        return file_io::Status::failure(EIO);
    const off_t fromDisk = std::clamp<off_t>(f.original - at, 0, off_t(n));
    if (fromDisk > 0)
        if (auto s = file_io::readAt(fd, out, size_t(fromDisk), at); !s)
            return s;
    std::fill(out + fromDisk, out + n, 0);
    const uint64_t first = uint64_t(at) / pageSize;
    const uint64_t end = (uint64_t(at) + n + pageSize - 1) / pageSize;
    for (auto p = f.pages.lower_bound(first); p != f.pages.end() && p->first < end; ++p) {
        const off_t start = off_t(p->first * pageSize);
        const off_t from = std::max(start, at);
        const off_t to = std::min(start + off_t(pageSize), at + off_t(n));
        std::memcpy(out + (from - at), p->second.data() + (from - start), size_t(to - from));
    }
    return {};
}

off_t Journal::size(const std::string& path, int fd) const
{
    const auto it = files_.find(path);
    return it == files_.end() ? file_io::identityOf(fd).size : it->second.size;
}

bool Journal::leftByCommit(const std::string& path, const file_io::Identity& now) const
{
    const auto it = committed_.find(path);
    return it != committed_.end() && it->second == now;
}

// The original bytes of every held page, and each file's original size.
std::vector<uint8_t> Journal::originals() const
{
    std::vector<JournalRecord> records;
    for (const auto& [path, f] : files_) {
        records.push_back({'F', fileNameOf(path), uint64_t(f.original), 0, {}});
        int fd = -1;
        if (auto s = file_io::open(path, O_RDONLY, fd); !s)
            throw failure("Não foi possível ler", path, s);
        const file_io::Descriptor held(fd);
        for (const auto& [page, bytes] : f.pages) {
            const off_t start = off_t(page * pageSize);
            if (start >= f.original)
                break;
            JournalRecord r{'P', fileNameOf(path), uint64_t(start), 0, {}};
            r.bytes.resize(size_t(std::min<off_t>(off_t(pageSize), f.original - start)));
            if (auto s = file_io::readAt(fd, r.bytes.data(), r.bytes.size(), start); !s)
                throw failure("Não foi possível ler", path, s);
            records.push_back(std::move(r));
        }
    }
    return writeJournal(records);
}

void Journal::commit()
{
    if (files_.empty()) {
        lastCommitted_.clear();
        finish();
        return;
    }
    const std::string journalPath = pathFor(tablePath_);
    std::vector<uint8_t> journal;
    int journalFd = -1;
    try {
        journal = originals();
        journalFd = placeJournal(journalPath, journal);
    } catch (...) {
        finish();
        throw;
    }
    flushes_ += 2;
    const file_io::Descriptor journalHeld(journalFd);
    file_io::Status s;
    std::string failed;
    for (auto& [path, f] : files_) {
        int fd = -1;
        s = file_io::open(path, O_RDWR, fd);
        const file_io::Descriptor held(fd);
        // Runs of neighbouring pages go in one write each.
        for (auto p = f.pages.begin(); s && p != f.pages.end();) {
            const off_t start = off_t(p->first * pageSize);
            if (start >= f.size)
                break;
            std::vector<uint8_t> run;
            uint64_t next = p->first;
            for (; p != f.pages.end() && p->first == next && off_t(next * pageSize) < f.size; ++p, ++next)
                run.insert(run.end(), p->second.begin(), p->second.end());
            run.resize(size_t(std::min<off_t>(off_t(run.size()), f.size - start)));
            s = file_io::writeAt(path, fd, run.data(), run.size(), start);
        }
        if (s && file_io::identityOf(fd).size != f.size)
            s = file_io::truncate(path, fd, f.size);
        if (s)
            s = file_io::sync(path, fd);
        ++flushes_;
        if (!s) {
            failed = path;
            break;
        }
        committed_[path] = file_io::identityOf(fd);
    }
    if (s) {
        s = removeJournal(journalPath);
        ++flushes_;
        if (!s)
            failed = journalPath;
    }
    finish();
    if (s) {
        lastCommitted_ = std::move(journal);
        return;
    }
    // What was written goes back now; should that fail too, the journal stays
    // for the next opener.
    committed_.clear();
    if (restoreOriginals(folderOf(tablePath_), readJournal(journal)))
        removeJournal(journalPath);
    throw failure("Não foi possível gravar", failed, s);
}

} // namespace paradox
