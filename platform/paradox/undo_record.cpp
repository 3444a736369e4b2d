#include "platform/paradox/undo_record.h"

#include "platform/paradox/error.h"
#include "platform/paradox/fence.h"
#include "platform/paradox/file_io.h"
#include "platform/paradox/file_lock.h"
#include "platform/paradox/file_names.h"
#include "platform/paradox/file_users.h"
#include "platform/paradox/journal.h"
#include "platform/paradox/table_file.h"

#include <fcntl.h>
#include <filesystem>
#include <map>
#include <stdlib.h>

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
    int fd = -1;
    if (!file_io::open(path, O_RDONLY, fd))
        return {~uint64_t(0), 0};
    const file_io::Descriptor held(fd);
    std::vector<uint8_t> bytes;
    if (!file_io::readWhole(fd, bytes))
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

UndoCheck checkUndo(const std::string& tablePath, const std::vector<uint8_t>& record)
{
    const std::vector<JournalRecord> records = readJournal(record);
    const std::string folder = folderOf(tablePath);
    const std::string table = fileNameOf(tablePath);
    bool ofThisTable = false;
    size_t states = 0;
    for (const JournalRecord& r : records) {
        ofThisTable = ofThisTable || (r.kind == 'F' && equalsIgnoringCase(r.name, table));
        if (r.kind != 'S')
            continue;
        ++states;
        if (stateOf(folder + "/" + r.name) != FileState{r.value, r.check})
            return UndoCheck::Changed;
    }
    if (!ofThisTable || states != changedFiles(records).size())
        return UndoCheck::NotARecord;
    return UndoCheck::Ready;
}

void undo(const std::string& tablePath, const std::vector<uint8_t>& record)
{
    TableFile table(tablePath);  // finishes an earlier undo cut short
    const auto held = table.lock(FileLock::Mode::Exclusive);
    const Fence fence(tableFamilyAndControlFiles(tablePath), table.name());
    if (checkUndo(tablePath, record) != UndoCheck::Ready)
        throw Error("A tabela " + table.name() + " não está mais como a importação a deixou; nada foi desfeito.");
    Journal::playBack(tablePath, record);
}

std::vector<std::vector<Value>> rowsUndoRemoves(TableFile& now, const std::vector<uint8_t>& record)
{
    const std::string& tablePath = now.path();
    namespace fs = std::filesystem;
    const std::vector<JournalRecord> records = readJournal(record);
    const std::string folder = folderOf(tablePath);
    // The family as it was before, rebuilt in a folder of its own.
    std::string name = (fs::temp_directory_path() / "tessaly-desfazer-XXXXXX").string();
    if (!::mkdtemp(name.data()))
        throw file_io::errorOf("Não foi possível criar uma pasta temporária em " + fs::temp_directory_path().string(),
                               file_io::Status::fromErrno());
    const fs::path scratch = name;
    struct Cleanup {
        fs::path path;
        ~Cleanup()
        {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } cleanup{scratch};
    for (const std::string& name : changedFiles(records))
        fs::copy_file(folder + "/" + name, scratch / name);
    if (const auto s = restoreOriginals(scratch.string(), records); !s)
        throw file_io::errorOf("Não foi possível reconstituir a tabela anterior em " + scratch.string(), s);
    TableFile before((scratch / fileNameOf(tablePath)).string());
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
