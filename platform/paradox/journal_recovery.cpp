#include "platform/paradox/journal.h"

#include "platform/paradox/error.h"
#include "platform/paradox/file_names.h"
#include "platform/paradox/journal_files.h"

#include "platform/os/folder.h"

#include <algorithm>
#include <cctype>

// Finding a journal beside a table, judging it, and playing it back.
namespace paradox {
namespace {

constexpr size_t pageBytes = 4096;
// Torn writes tear at sectors: a sector holds the old bytes or the new.
constexpr size_t sectorBytes = 512;
// Room for what one run may add beyond twice the family's size.
constexpr uint64_t growthAllowance = uint64_t(256) << 20;

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
    return !name.empty() && name.find_first_of(os::pathSeparators()) == std::string::npos && name.find('\0') == std::string::npos
        && dot != std::string::npos && equalsIgnoringCase(name.substr(0, dot), stemOf(tablePath))
        && familyExtension(name.substr(dot + 1));
}

namespace {

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
        throw journalFailure("Não foi possível ler o diário de gravação", journalPath, s);
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

Journal::Leftover Journal::recover(const std::string& tablePath, const os::Hooks* hooks)
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
        if (auto s = removeJournal(journalPath, hooks); !s)
            throw journalFailure("Não foi possível apagar o diário de gravação", journalPath, s);
        return Leftover::None;
    case Found::Kind::Foreign: {
        std::string aside = setAsidePathFor(tablePath);
        for (int n = 2; os::factsOf(aside, false).kind != os::Kind::None; ++n)
            aside = setAsidePathFor(tablePath) + "-" + std::to_string(n);
        os::Status s = os::rename(journalPath, aside, hooks);
        if (s)
            s = os::syncFolder(folder, hooks);
        if (!s)
            throw journalFailure("Não foi possível pôr de lado o diário de gravação", journalPath, s);
        throw setAsideError(tablePath, aside);
    }
    case Found::Kind::Ours:
        break;
    }
    os::Status s = restoreOriginals(folder, found.records, hooks);
    if (s)
        s = removeJournal(journalPath, hooks);
    if (!s)
        throw errorOf("A tabela " + fileNameOf(tablePath)
                                   + " tem uma gravação interrompida que não pôde ser desfeita ("
                                   + journalPath + ")",
                               s);
    return Leftover::PlayedBack;
}

void Journal::playBack(const std::string& tablePath, const std::vector<uint8_t>& journal, const os::Hooks* hooks)
{
    const std::string journalPath = pathFor(tablePath);
    placeJournal(journalPath, journal, hooks);
    try {
        recover(tablePath, hooks);
    } catch (const Error& e) {
        // A playback that failed puts the files forward again, to the state
        // it found: no later writer is to carry out what was reported as
        // failed.
        if (restoreFiles(folderOf(tablePath), readJournal(journal), 'C', hooks) && removeJournal(journalPath, hooks))
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

} // namespace paradox
