#include "platform/paradox/journal_files.h"

#include "platform/paradox/file_names.h"

namespace paradox {

Error journalFailure(const std::string& what, const std::string& path, const os::Status& status)
{
    return errorOf(what + " " + path, status);
}

// Through a temporary file (one without a name where the file system has
// them, locked before anyone can see it), flushed, then given its place.
os::File placeJournal(const std::string& journalPath, const std::vector<uint8_t>& bytes, const os::Hooks* hooks)
{
    os::File file;
    if (os::Status s = os::File::createTemporaryFor(journalPath, file, hooks); !s)
        throw journalFailure("Não foi possível criar o diário de gravação", journalPath + "-new", s);
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
        s = os::syncFolder(folderOf(journalPath), hooks);
    if (!s) {
        // A journal whose place is not known to be on the disk must not
        // outlive the commit that failed with it.
        os::discard(placed ? journalPath : temporary);
        if (!unnamed || placed)
            os::syncFolder(folderOf(journalPath), hooks);
        throw journalFailure("Não foi possível gravar o diário de gravação", journalPath, s);
    }
    return file;
}

os::Status restoreFiles(const std::string& folder, const std::vector<JournalRecord>& records, char pages,
                        const os::Hooks* hooks)
{
    for (const JournalRecord& f : records) {
        if (f.kind != 'F')
            continue;
        os::File file;
        if (auto s = os::File::openRegular(folder + "/" + f.name, os::Access::ReadWrite, file); !s)
            return s;
        file.tellTo(hooks);
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

os::Status restoreOriginals(const std::string& folder, const std::vector<JournalRecord>& records, const os::Hooks* hooks)
{
    return restoreFiles(folder, records, 'P', hooks);
}

os::Status removeJournal(const std::string& journalPath, const os::Hooks* hooks)
{
    os::Status s = os::remove(journalPath, hooks);
    if (s)
        s = os::syncFolder(folderOf(journalPath), hooks);
    return s;
}

} // namespace paradox
