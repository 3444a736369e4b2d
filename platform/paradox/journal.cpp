#include "platform/paradox/journal.h"

#include "platform/paradox/error.h"
#include "platform/paradox/fence.h"
#include "platform/paradox/file_names.h"
#include "platform/paradox/journal_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace paradox {

Journal::Journal(std::string tablePath, const os::Hooks* hooks) : tablePath_(std::move(tablePath)), hooks_(hooks) {}

Journal::~Journal() = default;

std::string Journal::pathFor(const std::string& tablePath)
{
    return folderOf(tablePath) + "/" + stemOf(tablePath) + ".tessaly-journal";
}

std::string Journal::setAsidePathFor(const std::string& tablePath)
{
    return folderOf(tablePath) + "/" + stemOf(tablePath) + ".tessaly-journal-recusado";
}

void Journal::overlay(const std::vector<JournalRecord>& records)
{
    dropOverlay();
    const std::string folder = folderOf(tablePath_);
    for (const JournalRecord& r : records) {
        if (r.kind != 'F')
            continue;
        const std::string path = r.name == fileNameOf(tablePath_) ? tablePath_ : folder + "/" + r.name;
        const os::Facts facts = os::factsOf(path, true);
        File& f = files_[path];
        f.original = facts.kind == os::Kind::None || facts.kind == os::Kind::Unknown ? 0 : int64_t(facts.size);
        f.size = int64_t(r.value);
        for (const JournalRecord& p : records)
            if (p.kind == 'P' && p.name == r.name) {
                Page page(pageSize, 0);
                std::copy_n(p.bytes.begin(), std::min(p.bytes.size(), pageSize), page.begin());
                f.pages[p.value / pageSize] = std::move(page);
            }
    }
    overlaid_ = true;
}

void Journal::dropOverlay()
{
    if (!overlaid_)
        return;
    files_.clear();
    overlaid_ = false;
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

Journal::File& Journal::fileOf(const std::string& path, const os::File& file)
{
    if (auto it = files_.find(path); it != files_.end())
        return it->second;
    noteSize(path, nullptr);
    const int64_t size = file.size();
    File& f = files_[path];
    f.original = f.size = size;
    return f;
}

Journal::Page& Journal::pageOf(File& file, const std::string& path, const os::File& disk, uint64_t page)
{
    auto it = file.pages.find(page);
    if (!levels_.empty())
        levels_.back().try_emplace({path, page}, Before{it == file.pages.end() ? std::nullopt : std::optional(it->second)});
    if (it != file.pages.end())
        return it->second;
    Page p(pageSize, 0);
    const int64_t start = int64_t(page * pageSize);
    if (start < file.original) {
        const size_t n = size_t(std::min<int64_t>(int64_t(pageSize), file.original - start));
        if (auto s = disk.readAt(p.data(), n, start); !s)
            throw journalFailure("Não foi possível ler", path, s);
    }
    return file.pages.emplace(page, std::move(p)).first->second;
}

void Journal::resize(File& file, const std::string& path, int64_t size)
{
    if (size == file.size)
        return;
    noteSize(path, &file);
    file.size = size;
}

void Journal::write(const std::string& path, const os::File& file, const uint8_t* data, size_t n, int64_t at)
{
    if (depth_ == 0)
        throw Error("Gravação fora de uma transação em " + path + ".");
    if (overlaid_)
        throw Error("Gravação em " + path + " antes de terminar a gravação interrompida da tabela.");
    File& f = fileOf(path, file);
    size_t done = 0;
    while (done < n) {
        const uint64_t offset = uint64_t(at) + done;
        const uint64_t page = offset / pageSize;
        const size_t within = size_t(offset % pageSize);
        const size_t part = std::min(n - done, pageSize - within);
        Page& p = pageOf(f, path, file, page);
        std::memcpy(p.data() + within, data + done, part);
        done += part;
    }
    if (at + int64_t(n) > f.size)
        resize(f, path, at + int64_t(n));
}

void Journal::replace(const std::string& path, const os::File& file, const std::vector<uint8_t>& data)
{
    File& f = fileOf(path, file);
    const int64_t size = int64_t(data.size());
    resize(f, path, size);
    write(path, file, data.data(), data.size(), 0);
    // Whatever lay beyond the new end, on the disk or held, reads as zeros
    // should the file grow again.
    const uint64_t held = f.pages.empty() ? 0 : f.pages.rbegin()->first + 1;
    const uint64_t end = std::max((uint64_t(f.original) + pageSize - 1) / pageSize, held);
    for (uint64_t page = uint64_t(size) / pageSize; page < end; ++page) {
        Page& p = pageOf(f, path, file, page);
        const int64_t start = int64_t(page * pageSize);
        std::fill(p.begin() + std::max<ptrdiff_t>(0, ptrdiff_t(size - start)), p.end(), 0);
    }
}

os::Status Journal::read(const std::string& path, const os::File& file, uint8_t* out, size_t n, int64_t at) const
{
    const auto it = files_.find(path);
    if (it == files_.end())
        return file.readAt(out, n, at);
    const File& f = it->second;
    if (at < 0 || at + int64_t(n) > f.size)
        return os::Status::failure(EIO);
    const int64_t fromDisk = std::clamp<int64_t>(f.original - at, 0, int64_t(n));
    if (fromDisk > 0)
        if (auto s = file.readAt(out, size_t(fromDisk), at); !s)
            return s;
    std::fill(out + fromDisk, out + n, 0);
    const uint64_t first = uint64_t(at) / pageSize;
    const uint64_t end = (uint64_t(at) + n + pageSize - 1) / pageSize;
    for (auto p = f.pages.lower_bound(first); p != f.pages.end() && p->first < end; ++p) {
        const int64_t start = int64_t(p->first * pageSize);
        const int64_t from = std::max(start, at);
        const int64_t to = std::min(start + int64_t(pageSize), at + int64_t(n));
        std::memcpy(out + (from - at), p->second.data() + (from - start), size_t(to - from));
    }
    return {};
}

int64_t Journal::size(const std::string& path, const os::File& file) const
{
    const auto it = files_.find(path);
    return it == files_.end() ? file.size() : it->second.size;
}

bool Journal::leftByCommit(const std::string& path, const os::Identity& now) const
{
    const auto it = committed_.find(path);
    return it != committed_.end() && it->second == now;
}

// Each file's size before and after, the original bytes of every held page
// and the bytes the commit gives it.
std::vector<uint8_t> Journal::journalBytes() const
{
    std::vector<JournalRecord> records;
    for (const auto& [path, f] : files_) {
        records.push_back({'F', fileNameOf(path), uint64_t(f.original), uint64_t(f.size), {}});
        os::File file;
        if (auto s = os::File::openRegular(path, os::Access::Read, file); !s)
            throw journalFailure("Não foi possível ler", path, s);
        for (const auto& [page, bytes] : f.pages) {
            const int64_t start = int64_t(page * pageSize);
            if (start < f.original) {
                JournalRecord r{'P', fileNameOf(path), uint64_t(start), 0, {}};
                r.bytes.resize(size_t(std::min<int64_t>(int64_t(pageSize), f.original - start)));
                if (auto s = file.readAt(r.bytes.data(), r.bytes.size(), start); !s)
                    throw journalFailure("Não foi possível ler", path, s);
                records.push_back(std::move(r));
            }
            if (start < f.size) {
                const size_t n = size_t(std::min<int64_t>(int64_t(pageSize), f.size - start));
                records.push_back({'C', fileNameOf(path), uint64_t(start), 0, Page(bytes.begin(), bytes.begin() + ptrdiff_t(n))});
            }
        }
    }
    return writeJournal(records);
}

void Journal::commit()
{
    if (files_.empty() || overlaid_) {
        lastCommitted_.clear();
        dropOverlay();
        finish();
        return;
    }
    const std::string journalPath = pathFor(tablePath_);
    std::vector<uint8_t> journal;
    os::File journalHeld;
    try {
        journal = journalBytes();
        journalHeld = placeJournal(journalPath, journal, hooks_);
    } catch (...) {
        finish();
        throw;
    }
    flushes_ += 2;
    os::Status s;
    std::string failed;
    for (auto& [path, f] : files_) {
        os::File file;
        s = os::File::openRegular(path, os::Access::ReadWrite, file);
        file.tellTo(hooks_);
        // Runs of neighbouring pages go in one write each.
        for (auto p = f.pages.begin(); s && p != f.pages.end();) {
            const int64_t start = int64_t(p->first * pageSize);
            if (start >= f.size)
                break;
            std::vector<uint8_t> run;
            uint64_t next = p->first;
            for (; p != f.pages.end() && p->first == next && int64_t(next * pageSize) < f.size; ++p, ++next)
                run.insert(run.end(), p->second.begin(), p->second.end());
            run.resize(size_t(std::min<int64_t>(int64_t(run.size()), f.size - start)));
            s = file.writeAt(run.data(), run.size(), start);
        }
        if (s && file.size() != f.size)
            s = file.truncate(f.size);
        if (s)
            s = file.sync();
        ++flushes_;
        if (!s) {
            failed = path;
            break;
        }
        committed_[path] = file.identity();
    }
    bool recorded = false;
    if (s && commitRecord_) {
        commitRecord_(&journal);
        recorded = true;
    }
    bool journalGone = false;
    if (s) {
        s = os::remove(journalPath, hooks_);
        journalGone = s.ok();
        if (s)
            s = os::syncFolder(folderOf(journalPath), hooks_);
        ++flushes_;
        if (!s)
            failed = journalPath;
    }
    if (s) {
        finish();
        lastCommitted_ = std::move(journal);
        return;
    }
    struct Finish {
        Journal* journal;
        ~Finish() { journal->finish(); }
    } finishing{this};
    // What was written goes back now, under the locks still held. A journal
    // whose removal may not have reached the disk is put back first, so that
    // a crash during this rollback is still finished by the next writer.
    committed_.clear();
    lastCommitted_.clear();
    if (recorded)
        commitRecord_(nullptr);
    bool undone = true;
    if (journalGone) {
        try {
            placeJournal(journalPath, journal, hooks_);
        } catch (const Error&) {
            undone = false;
        }
    }
    undone = undone && restoreOriginals(folderOf(tablePath_), readJournal(journal), hooks_).ok()
          && removeJournal(journalPath, hooks_).ok();
    if (undone)
        throw journalFailure("Não foi possível gravar", failed, s);
    throw errorOf("Não foi possível gravar " + failed + ", e a gravação não pôde ser desfeita; o diário \""
                               + journalPath + "\" ficou para ser aplicado pela próxima gravação na tabela",
                           s);
}

} // namespace paradox
