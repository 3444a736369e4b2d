#include "platform/os/folder.h"
#include "platform/paradox/journal_record.h"

#include "platform/paradox/bytes.h"

#include <cstring>

namespace paradox {
namespace {

constexpr char magic[8] = {'T', 'S', 'L', 'Y', 'J', 'R', 'N', '2'};
// Undo records kept by earlier versions carry no committed bytes.
constexpr char oldMagic[8] = {'T', 'S', 'L', 'Y', 'J', 'R', 'N', '1'};

void putU64(std::vector<uint8_t>& out, uint64_t v)
{
    uint8_t le[8];
    bytes::putU64le(le, v);
    out.insert(out.end(), le, le + 8);
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

namespace {
bool carriesBytes(char kind) { return kind == 'P' || kind == 'C'; }
} // namespace

std::vector<uint8_t> writeJournal(const std::vector<JournalRecord>& records)
{
    std::vector<uint8_t> out(magic, magic + sizeof magic);
    for (const JournalRecord& r : records) {
        out.push_back(uint8_t(r.kind));
        out.push_back(uint8_t(r.name.size()));
        out.push_back(uint8_t(r.name.size() >> 8));
        out.insert(out.end(), r.name.begin(), r.name.end());
        putU64(out, r.value);
        putU64(out, carriesBytes(r.kind) ? r.bytes.size() : r.check);
        if (carriesBytes(r.kind))
            out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    }
    out.push_back('E');
    putU64(out, records.size());
    putU64(out, checksumOf(out.data(), out.size()));
    return out;
}

bool journalSealed(const std::vector<uint8_t>& journal)
{
    const size_t n = journal.size();
    return n >= sizeof magic + 17
        && (std::memcmp(journal.data(), magic, sizeof magic) == 0
            || std::memcmp(journal.data(), oldMagic, sizeof oldMagic) == 0)
        && journal[n - 17] == 'E' && bytes::u64le(journal.data() + n - 8) == checksumOf(journal.data(), n - 8);
}

std::vector<JournalRecord> readJournal(const std::vector<uint8_t>& journal)
{
    std::vector<JournalRecord> records;
    const size_t n = journal.size();
    if (!journalSealed(journal))
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
        if (carriesBytes(r.kind)) {
            if (second > n - 17 - at)
                return {};
            r.bytes.assign(journal.begin() + ptrdiff_t(at), journal.begin() + ptrdiff_t(at + second));
            at += size_t(second);
        } else {
            r.check = second;
        }
        if (r.name.empty() || r.name.find_first_of(os::pathSeparators()) != std::string::npos || r.name.find('\0') != std::string::npos
            || (r.kind != 'F' && r.kind != 'S' && !carriesBytes(r.kind)))
            return {};
        records.push_back(std::move(r));
    }
    if (at != n - 17 || bytes::u64le(journal.data() + n - 16) != records.size())
        return {};
    return records;
}

} // namespace paradox
