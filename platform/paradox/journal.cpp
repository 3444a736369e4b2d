#include "platform/paradox/journal.h"

#include "platform/paradox/error.h"
#include "platform/paradox/fence.h"
#include "platform/paradox/file_names.h"

#include "platform/os/folder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace paradox {
namespace {

constexpr size_t pageBytes = 4096;
// Torn writes tear at sectors: a sector holds the old bytes or the new.
constexpr size_t sectorBytes = 512;
// Room for what one run may add beyond twice the family's size.
constexpr uint64_t growthAllowance = uint64_t(256) << 20;

Error failure(const std::string& what, const std::string& path, const os::Status& status)
{
    return errorOf(what + " " + path, status);
}

// Writes the journal bytes into a temporary file (one without a name where
// the file system has them), flushes them and gives them their place, the
// folder flushed too: a journal is either whole at its place or not there.
// The file returned holds the journal's lock, which tells others that its
// writer lives; an unnamed file is locked before anyone can see it. Nothing
// is left when it fails.
os::File placeJournal(const std::string& journalPath, const std::vector<uint8_t>& bytes)
{
    os::File file;
    if (os::Status s = os::File::createTemporaryFor(journalPath, file); !s)
        throw failure("Não foi possível criar o diário de gravação", journalPath + "-new", s);
    const std::string temporary = file.path();
    const bool unnamed = file.unnamed();
    file.lock(os::LockMode::Exclusive);
    bool placed = false;
    os::Status s = file.writeAt(bytes.data(), bytes.size(), 0);
    if (s)
        s = file.sync();
    if (s) {
        s = file.place(journalPath);
        placed = s.ok();
    }
    if (s)
        s = os::syncFolder(folderOf(journalPath));
    if (!s) {
        // A journal whose place is not known to be on the disk must not
        // outlive the commit that failed with it.
        os::discard(placed ? journalPath : temporary);
        if (!unnamed || placed)
            os::syncFolder(folderOf(journalPath));
        throw failure("Não foi possível gravar o diário de gravação", journalPath, s);
    }
    return file;
}

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// The family's files under their extensions: .DB, .PX, .MB, and the
// secondary indexes .Xnn, .Ynn, .XGn, .YGn.
bool familyExtension(const std::string& ext)
{
    std::string e;
    for (char c : ext)
        e += char(std::toupper(static_cast<unsigned char>(c)));
    if (e == "DB" || e == "PX" || e == "MB")
        return true;
    if (e.size() == 3 && (e[0] == 'X' || e[0] == 'Y'))
        return e[1] == 'G' ? isHex(e[2]) : isHex(e[1]) && isHex(e[2]);
    return false;
}

} // namespace

bool familyFileName(const std::string& tablePath, const std::string& name)
{
    const size_t dot = name.find_last_of('.');
    return !name.empty() && name.find('/') == std::string::npos && name.find('\0') == std::string::npos
        && dot != std::string::npos && equalsIgnoringCase(name.substr(0, dot), stemOf(tablePath))
        && familyExtension(name.substr(dot + 1));
}

namespace {

// Puts into the files of folder their original bytes and sizes (P), or
// their committed ones (C), each file flushed.
os::Status restoreFiles(const std::string& folder, const std::vector<JournalRecord>& records, char pages)
{
    for (const JournalRecord& f : records) {
        if (f.kind != 'F')
            continue;
        os::File file;
        if (auto s = os::File::openRegular(folder + "/" + f.name, os::Access::ReadWrite, file); !s)
            return s;
        for (const JournalRecord& p : records)
            if (p.kind == pages && p.name == f.name)
                if (auto s = file.writeAt(p.bytes.data(), p.bytes.size(), int64_t(p.value)); !s)
                    return s;
        const int64_t size = int64_t(pages == 'P' ? f.value : f.check);
        if (file.size() != size)
            if (auto s = file.truncate(size); !s)
                return s;
        if (auto s = file.sync(); !s)
            return s;
    }
    return {};
}

} // namespace

os::Status restoreOriginals(const std::string& folder, const std::vector<JournalRecord>& records)
{
    return restoreFiles(folder, records, 'P');
}

namespace {

// Removes the journal, the folder flushed: the moment of the commit, or the
// end of a playback.
os::Status removeJournal(const std::string& journalPath)
{
    os::Status s = os::remove(journalPath);
    if (s)
        s = os::syncFolder(folderOf(journalPath));
    return s;
}

using PageMap = std::map<uint64_t, const JournalRecord*>;

// Whether the pages hold [from, to) whole.
bool covers(const PageMap& pages, uint64_t from, uint64_t to)
{
    for (uint64_t page = from / pageBytes * pageBytes; page < to; page += pageBytes) {
        const auto it = pages.find(page);
        if (it == pages.end() || page + it->second->bytes.size() < std::min(to, page + pageBytes))
            return false;
    }
    return true;
}

// One file of a journal against the disk: its size between the original
// and the committed one, and every sector the journal covers holding its
// original bytes or its committed ones. Where the committed size is below
// the original, the file still holds its original bytes there until the
// commit's truncation; beyond the original size a write not yet made reads
// as zeros.
bool fileLeftByCommit(const std::string& path, const JournalRecord& sizes, const PageMap& originals,
                      const PageMap& committed)
{
    const uint64_t original = sizes.value;
    const uint64_t after = sizes.check;
    for (const PageMap* pages : {&originals, &committed})
        for (const auto& [at, r] : *pages)
            if (at % pageBytes != 0 || r->bytes.empty() || r->bytes.size() > pageBytes
                || at + r->bytes.size() > (pages == &originals ? original : after))
                return false;
    if ((original > after && !covers(originals, after, original))
        || (after > original && !covers(committed, original, after)))
        return false;
    os::File file;
    if (!os::File::openRegular(path, os::Access::Read, file))
        return false;
    const uint64_t size = uint64_t(file.size());
    if (size < std::min(original, after) || size > std::max(original, after))
        return false;
    std::vector<uint64_t> pages;
    for (const PageMap* m : {&originals, &committed})
        for (const auto& entry : *m)
            pages.push_back(entry.first);
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    std::vector<uint8_t> now(pageBytes);
    for (const uint64_t page : pages) {
        if (page >= size)
            break;
        const size_t n = size_t(std::min<uint64_t>(pageBytes, size - page));
        if (!file.readAt(now.data(), n, int64_t(page)))
            return false;
        const auto o = originals.find(page);
        const auto c = committed.find(page);
        // A byte's original and committed value; -1 where the journal does
        // not hold it (a byte its commit left alone).
        auto originalAt = [&](uint64_t at) -> int {
            if (at >= original)
                return 0;
            return o != originals.end() && at - page < o->second->bytes.size() ? o->second->bytes[at - page] : -1;
        };
        auto committedAt = [&](uint64_t at) -> int {
            if (at >= after)
                return originalAt(at);
            return c != committed.end() && at - page < c->second->bytes.size() ? c->second->bytes[at - page] : -1;
        };
        for (size_t sector = 0; sector < n; sector += sectorBytes) {
            bool asOriginal = true;
            bool asCommitted = true;
            for (size_t i = sector; i < std::min(n, sector + sectorBytes); ++i) {
                const int was = originalAt(page + i);
                const int will = committedAt(page + i);
                asOriginal = asOriginal && (was < 0 || was == now[i]);
                asCommitted = asCommitted && (will < 0 || will == now[i]);
            }
            if (!asOriginal && !asCommitted)
                return false;
        }
    }
    return true;
}

} // namespace

bool provablyLeftByCommit(const std::string& tablePath, const std::vector<JournalRecord>& records)
{
    std::map<std::string, const JournalRecord*> sizes;
    std::map<std::string, std::pair<PageMap, PageMap>> pages;
    for (const JournalRecord& r : records) {
        if (!familyFileName(tablePath, r.name))
            return false;
        if (r.kind == 'F' && !sizes.emplace(r.name, &r).second)
            return false;
        if (r.kind == 'P' || r.kind == 'C') {
            PageMap& m = r.kind == 'P' ? pages[r.name].first : pages[r.name].second;
            if (!m.emplace(r.value, &r).second)
                return false;
        }
    }
    for (const auto& entry : pages)
        if (!sizes.count(entry.first))
            return false;
    if (sizes.empty())
        return false;
    const std::string folder = folderOf(tablePath);
    for (const auto& [name, f] : sizes)
        if (!fileLeftByCommit(folder + "/" + name, *f, pages[name].first, pages[name].second))
            return false;
    return true;
}

Journal::Journal(std::string tablePath) : tablePath_(std::move(tablePath)) {}

Journal::~Journal() = default;

std::string Journal::pathFor(const std::string& tablePath)
{
    return folderOf(tablePath) + "/" + stemOf(tablePath) + ".tessaly-journal";
}

std::string Journal::setAsidePathFor(const std::string& tablePath)
{
    return folderOf(tablePath) + "/" + stemOf(tablePath) + ".tessaly-journal-recusado";
}

uint64_t Journal::sizeLimit(const std::string& tablePath)
{
    uint64_t family = 0;
    std::vector<std::string> names;
    os::namesIn(folderOf(tablePath), names);
    for (const std::string& name : names) {
        if (!familyFileName(tablePath, name))
            continue;
        const os::Facts facts = os::factsOf(folderOf(tablePath) + "/" + name, false);
        if (facts.kind == os::Kind::Regular)
            family += facts.size;
    }
    return 2 * family + growthAllowance;
}

namespace {

// The names in the table's folder that begin with prefix.
std::vector<std::string> entriesStartingWith(const std::string& folder, const std::string& prefix)
{
    std::vector<std::string> names;
    std::vector<std::string> found;
    os::namesIn(folder, names);
    for (const std::string& name : names)
        if (name.starts_with(prefix))
            found.push_back(folder + "/" + name);
    return found;
}

// Journals that their writers left before they were in place changed
// nothing. (Only where the file system has no unnamed files.)
void removeAbandoned(const std::string& journalPath, const std::vector<std::string>& leftovers)
{
    for (const std::string& temporary : leftovers) {
        if (!temporary.starts_with(journalPath + "-new"))
            continue;
        os::File file;
        if (!os::File::openRegular(temporary, os::Access::Read, file)) {
            os::discard(temporary);  // a link or a file of nobody's
            continue;
        }
        if (file.tryLock(os::LockMode::Exclusive))
            os::discard(temporary);
    }
}

// A journal as found beside a table: whether there is one, its records
// (empty when it is cut short), and whether it is ours to play back.
struct Found {
    enum class Kind { None, CutShort, Ours, Foreign, Busy } kind = Kind::None;
    std::vector<JournalRecord> records;
};

Found lookAtJournal(const std::string& tablePath, bool forWriting)
{
    const std::string journalPath = Journal::pathFor(tablePath);
    const os::Kind kind = os::factsOf(journalPath, false).kind;
    if (kind == os::Kind::None || kind == os::Kind::Unknown)
        return {};
    os::File file;
    if (!os::File::openRegular(journalPath, os::Access::Read, file))
        return {Found::Kind::Foreign, {}};  // a link, a FIFO, a device
    // A writer that commits now holds it; a reader needs no lock, as a
    // journal in place is whole.
    if (forWriting && !file.tryLock(os::LockMode::Exclusive))
        return {Found::Kind::Busy, {}};
    if (!file.named())
        return {};  // it committed meanwhile
    if (uint64_t(std::max<int64_t>(file.size(), 0)) > Journal::sizeLimit(tablePath))
        return {Found::Kind::Foreign, {}};
    std::vector<uint8_t> bytes;
    if (auto s = file.readWhole(bytes); !s)
        throw failure("Não foi possível ler o diário de gravação", journalPath, s);
    Found found{journalSealed(bytes) ? Found::Kind::Foreign : Found::Kind::CutShort, readJournal(bytes)};
    if (!found.records.empty() && provablyLeftByCommit(tablePath, found.records))
        found.kind = Found::Kind::Ours;
    return found;
}

Error setAsideError(const std::string& tablePath, const std::string& kept)
{
    return Error("A tabela " + fileNameOf(tablePath)
                 + " tem uma gravação interrompida que não foi desfeita, porque a tabela foi alterada depois dela "
                   "(pelo Pelko ou por outro programa) ou o diário dessa gravação não é válido; nada foi gravado. "
                   "O diário foi guardado em \"" + kept
                 + "\". Confira a tabela no Pelko e apague esse arquivo para voltar a gravar nela.");
}

} // namespace

bool Journal::leftoverPresent(const std::string& tablePath)
{
    return !entriesStartingWith(folderOf(tablePath), fileNameOf(pathFor(tablePath))).empty();
}

Journal::Leftover Journal::recover(const std::string& tablePath)
{
    const std::string journalPath = pathFor(tablePath);
    const std::string folder = folderOf(tablePath);
    // One look at the folder finds temporaries and journals set aside.
    const auto leftovers = entriesStartingWith(folder, fileNameOf(journalPath));
    removeAbandoned(journalPath, leftovers);
    for (const std::string& kept : leftovers)
        if (kept.starts_with(setAsidePathFor(tablePath)))
            throw setAsideError(tablePath, kept);
    const Found found = lookAtJournal(tablePath, true);
    switch (found.kind) {
    case Found::Kind::None:
        return Leftover::None;
    case Found::Kind::Busy:
        throw TableInUse("A tabela " + fileNameOf(tablePath) + " está em uso por outro programa.");
    case Found::Kind::CutShort:
        if (auto s = removeJournal(journalPath); !s)
            throw failure("Não foi possível apagar o diário de gravação", journalPath, s);
        return Leftover::None;
    case Found::Kind::Foreign: {
        std::string aside = setAsidePathFor(tablePath);
        for (int n = 2; os::factsOf(aside, false).kind != os::Kind::None; ++n)
            aside = setAsidePathFor(tablePath) + "-" + std::to_string(n);
        os::Status s = os::rename(journalPath, aside);
        if (s)
            s = os::syncFolder(folder);
        if (!s)
            throw failure("Não foi possível pôr de lado o diário de gravação", journalPath, s);
        throw setAsideError(tablePath, aside);
    }
    case Found::Kind::Ours:
        break;
    }
    os::Status s = restoreOriginals(folder, found.records);
    if (s)
        s = removeJournal(journalPath);
    if (!s)
        throw errorOf("A tabela " + fileNameOf(tablePath)
                                   + " tem uma gravação interrompida que não pôde ser desfeita ("
                                   + journalPath + ")",
                               s);
    return Leftover::PlayedBack;
}

void Journal::playBack(const std::string& tablePath, const std::vector<uint8_t>& journal)
{
    const std::string journalPath = pathFor(tablePath);
    placeJournal(journalPath, journal);
    try {
        recover(tablePath);
    } catch (const Error& e) {
        // A playback that failed puts the files forward again, to the state
        // it found: no later writer is to carry out what was reported as
        // failed.
        if (restoreFiles(folderOf(tablePath), readJournal(journal), 'C') && removeJournal(journalPath))
            throw Error(std::string(e.what()) + "; a tabela ficou como estava.");
        throw;
    }
}

bool Journal::overlayLeftover()
{
    if (depth_ > 0)
        return false;
    dropOverlay();
    const Found found = lookAtJournal(tablePath_, false);
    if (found.kind != Found::Kind::Ours)
        return false;
    overlay(found.records);
    return true;
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
            throw failure("Não foi possível ler", path, s);
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
            throw failure("Não foi possível ler", path, s);
        for (const auto& [page, bytes] : f.pages) {
            const int64_t start = int64_t(page * pageSize);
            if (start < f.original) {
                JournalRecord r{'P', fileNameOf(path), uint64_t(start), 0, {}};
                r.bytes.resize(size_t(std::min<int64_t>(int64_t(pageSize), f.original - start)));
                if (auto s = file.readAt(r.bytes.data(), r.bytes.size(), start); !s)
                    throw failure("Não foi possível ler", path, s);
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
        journalHeld = placeJournal(journalPath, journal);
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
        s = os::remove(journalPath);
        journalGone = s.ok();
        if (s)
            s = os::syncFolder(folderOf(journalPath));
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
            placeJournal(journalPath, journal);
        } catch (const Error&) {
            undone = false;
        }
    }
    undone = undone && restoreOriginals(folderOf(tablePath_), readJournal(journal)).ok()
          && removeJournal(journalPath).ok();
    if (undone)
        throw failure("Não foi possível gravar", failed, s);
    throw errorOf("Não foi possível gravar " + failed + ", e a gravação não pôde ser desfeita; o diário \""
                               + journalPath + "\" ficou para ser aplicado pela próxima gravação na tabela",
                           s);
}

} // namespace paradox
