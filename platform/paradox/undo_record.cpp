#include "platform/paradox/undo_record.h"

#include "platform/paradox/error.h"
#include "platform/paradox/fence.h"
#include "platform/paradox/file_lock.h"
#include "platform/paradox/file_names.h"
#include "platform/paradox/file_users.h"
#include "platform/paradox/journal.h"
#include "platform/paradox/table_file.h"

#include "platform/os/file.h"

#include <algorithm>
#include <map>

namespace paradox {
namespace {

struct FileState {
    uint64_t size = 0;
    uint64_t checksum = 0;
    bool operator==(const FileState&) const = default;
};

// The size and checksum of a file; a size of all ones when it can't be read.
FileState stateOf(const std::string& path)
{
    os::File file;
    if (!os::File::openRegular(path, os::Access::Read, file))
        return {~uint64_t(0), 0};
    std::vector<uint8_t> bytes;
    if (!file.readWhole(bytes))
        return {~uint64_t(0), 0};
    return {uint64_t(bytes.size()), checksumOf(bytes.data(), bytes.size())};
}

std::vector<std::string> changedFiles(const std::vector<JournalRecord>& records)
{
    std::vector<std::string> names;
    for (const JournalRecord& r : records)
        if (r.kind == 'F')
            names.push_back(r.name);
    return names;
}

} // namespace

std::vector<uint8_t> undoRecord(const std::string& tablePath, const std::vector<uint8_t>& journal)
{
    std::vector<JournalRecord> records = readJournal(journal);
    const std::string folder = folderOf(tablePath);
    for (const std::string& name : changedFiles(records)) {
        const FileState s = stateOf(folder + "/" + name);
        records.push_back({'S', name, s.size, s.checksum, {}});
    }
    return writeJournal(records);
}

namespace {

// Whether every file of the records holds its original size and bytes.
bool asBefore(const std::string& folder, const std::vector<JournalRecord>& records)
{
    for (const JournalRecord& f : records) {
        if (f.kind != 'F')
            continue;
        os::File file;
        if (!os::File::openRegular(folder + "/" + f.name, os::Access::Read, file))
            return false;
        if (uint64_t(file.size()) != f.value)
            return false;
        std::vector<uint8_t> now;
        for (const JournalRecord& p : records) {
            if (p.kind != 'P' || p.name != f.name)
                continue;
            now.resize(p.bytes.size());
            if (!file.readAt(now.data(), now.size(), int64_t(p.value)) || now != p.bytes)
                return false;
        }
    }
    return true;
}

// The journal that takes the family from its state now, the one the
// transaction left, back to the one before: the record's original bytes and
// sizes, and the bytes the files hold now wherever the playback will write,
// so that an undo cut short is recognised as ours.
std::vector<uint8_t> undoJournal(const std::string& folder, const std::vector<JournalRecord>& records)
{
    constexpr uint64_t page = 4096;
    std::vector<JournalRecord> out;
    for (const JournalRecord& f : records) {
        if (f.kind != 'F')
            continue;
        const std::string path = folder + "/" + f.name;
        os::File file;
        if (auto s = os::File::openRegular(path, os::Access::Read, file); !s)
            throw errorOf("Não foi possível ler " + path, s);
        const uint64_t size = uint64_t(file.size());
        out.push_back({'F', f.name, f.value, size, {}});
        std::vector<uint64_t> pages;
        for (const JournalRecord& p : records)
            if (p.kind == 'P' && p.name == f.name) {
                out.push_back(p);
                pages.push_back(p.value);
            }
        for (uint64_t at = f.value / page * page; at < size; at += page)
            pages.push_back(at);
        std::sort(pages.begin(), pages.end());
        pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
        for (const uint64_t at : pages) {
            if (at >= size)
                break;
            JournalRecord c{'C', f.name, at, 0, std::vector<uint8_t>(size_t(std::min(page, size - at)))};
            if (auto s = file.readAt(c.bytes.data(), c.bytes.size(), int64_t(at)); !s)
                throw errorOf("Não foi possível ler " + path, s);
            out.push_back(std::move(c));
        }
    }
    return writeJournal(out);
}

} // namespace

UndoCheck checkUndo(const std::string& tablePath, const std::vector<uint8_t>& record)
{
    const std::vector<JournalRecord> records = readJournal(record);
    const std::string folder = folderOf(tablePath);
    const std::string table = fileNameOf(tablePath);
    bool ofThisTable = false;
    bool changed = false;
    size_t states = 0;
    for (const JournalRecord& r : records) {
        if (!familyFileName(tablePath, r.name))
            return UndoCheck::NotARecord;
        ofThisTable = ofThisTable || (r.kind == 'F' && equalsIgnoringCase(r.name, table));
        if (r.kind != 'S')
            continue;
        ++states;
        changed = changed || stateOf(folder + "/" + r.name) != FileState{r.value, r.check};
    }
    if (!ofThisTable || states != changedFiles(records).size())
        return UndoCheck::NotARecord;
    if (!changed)
        return UndoCheck::Ready;
    return asBefore(folder, records) ? UndoCheck::AlreadyUndone : UndoCheck::Changed;
}

os::Status readUndoRecord(const std::string& path, const std::string& tablePath, std::vector<uint8_t>& out)
{
    return os::readRegular(path, Journal::sizeLimit(tablePath), out);
}

UndoCheck undo(const std::string& tablePath, const std::vector<uint8_t>& record, bool* recovered, const Env& env)
{
    TableFile table(tablePath, env);
    const auto held = table.lock(FileLock::Mode::Exclusive);
    const auto fence = fenceForWriting(tablePath, table.name());
    const bool playedBack = Journal::recover(tablePath, &env.files) == Journal::Leftover::PlayedBack;
    if (recovered)
        *recovered = playedBack;
    const UndoCheck check = checkUndo(tablePath, record);
    if (check == UndoCheck::Ready)
        Journal::playBack(tablePath, undoJournal(folderOf(tablePath), readJournal(record)), &env.files);
    return check;
}

std::vector<std::vector<Value>> rowsUndoRemoves(TableFile& now, const std::vector<uint8_t>& record)
{
    // The family as it was before, read through the record's original bytes
    // held in memory; nothing is copied or written.
    Journal beforeView(now.path());
    beforeView.overlay(readJournal(record));
    TableFile before(now.path(), beforeView, now.env());
    const size_t width = size_t(now.header().recordSize);
    std::map<std::string, size_t> earlier;
    for (size_t r = 0; r < before.rowCount(); ++r)
        ++earlier[std::string(reinterpret_cast<const char*>(before.record(r)), width)];
    std::vector<std::vector<Value>> removed;
    for (size_t r = 0; r < now.rowCount(); ++r) {
        auto it = earlier.find(std::string(reinterpret_cast<const char*>(now.record(r)), width));
        if (it != earlier.end() && it->second > 0)
            --it->second;
        else
            removed.push_back(now.row(r));
    }
    return removed;
}

} // namespace paradox
