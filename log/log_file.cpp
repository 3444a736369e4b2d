#include "log/log_file.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdint>
#include <map>
#include <thread>
#include <vector>

namespace activity_log {
namespace {

constexpr std::string_view crlf = "\r\n";

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


// Replaces the file by its normal form, whole or not at all.
os::Status replaceWithNormalForm(const std::string& path, std::string_view bytes)
{
    const std::string text = normalised(bytes);
    return os::replaceWhole(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// The log's lock, waited for a bounded time: a copy stopped while it holds
// it (Ctrl-Z) leaves this one without its entry, not hanging.
os::Status lockLog(const os::File& log)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (;;) {
        const os::Status s = log.tryLock(os::LockMode::Exclusive);
        if (s || (s.error() != EWOULDBLOCK && s.error() != EINTR))
            return s;
        if (std::chrono::steady_clock::now() >= until)
            return os::Status::failure(EWOULDBLOCK);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

KnownState stateOf(const os::Identity& id, int64_t rawEntryAt = -1)
{
    return KnownState{id, rawEntryAt};
}

// Opens the log, locked against other copies of the program, in normal form
// except for a known last entry; fills state.
os::Status openInNormalForm(const std::string& path, const std::map<std::string, KnownState>& knownLogs,
                            os::File& log, KnownState& state)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Without blocking, should the log's name have become a FIFO.
        if (os::Status s = os::File::openOrCreateRegular(path, log); !s)
            return s;
        if (os::Status s = lockLog(log); !s)
            return s;
        const os::Identity id = log.identity();
        auto known = knownLogs.find(path);
        if (known != knownLogs.end() && known->second.file == id) {
            state = known->second;
            return {};
        }
        os::View view;
        if (os::Status s = os::View::of(log, view); !s)
            return s;
        const std::string_view bytes = view.bytes();
        const bool normal = inNormalForm(bytes);
        const bool torn = !normal && onlyLastLineTorn(bytes);
        if (torn) {
            if (os::Status s = log.writeAt(reinterpret_cast<const uint8_t*>(crlf.data()), crlf.size(), id.size); !s)
                return s;
            state = stateOf(log.identity());
            return {};
        }
        if (normal) {
            state = stateOf(id);
            return {};
        }
        const os::Status replaced = replaceWithNormalForm(path, bytes);
        log.close();
        if (!replaced)
            return replaced;
    }
    return os::Status::failure(EAGAIN);
}

} // namespace

os::Status Writer::appendEntry(const std::string& path, std::string_view entry)
{
    KnownState state;
    os::File log;
    if (os::Status s = openInNormalForm(path, known_, log, state); !s)
        return s;

    // The last entry's own line breaks become line breaks of the file now,
    // in the same write as the new entry.
    int64_t at = state.file.size;
    std::string data;
    if (state.rawEntryAt >= 0) {
        data.resize(size_t(state.file.size - state.rawEntryAt));
        if (os::Status s = log.readAt(reinterpret_cast<uint8_t*>(data.data()), data.size(), state.rawEntryAt); !s)
            return s;
        data = splitAndJoin(data);
        at = state.rawEntryAt;
    }
    const int64_t entryAt = at + int64_t(data.size());
    data.append(entry);
    data.append(crlf);
    if (os::Status s = log.writeAt(reinterpret_cast<const uint8_t*>(data.data()), data.size(), at); !s) {
        // A full disk may have taken part of it: the file stays as it was.
        log.truncate(state.file.size);
        return s;
    }
    known_[path] = stateOf(log.identity(), containsBreak(entry) ? entryAt : -1);
    return {};
}

std::string normalised(std::string_view bytes)
{
    return splitAndJoin(decoded(bytes));
}

bool Writer::append(const std::string& path, std::string_view entry, std::string* failure)
{
    const os::Status written = appendEntry(path, entry);
    if (!written && failure) {
        const os::Kind kind = os::factsOf(path, true).kind;
        const bool odd = kind != os::Kind::Regular && kind != os::Kind::None && kind != os::Kind::Unknown;
        *failure = odd ? "não é um arquivo comum" : written.text();
    }
    return written.ok();
}

} // namespace activity_log
