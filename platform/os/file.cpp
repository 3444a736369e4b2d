#include "platform/os/file.h"

// What every implementation of File shares, written in its own terms.
namespace os {

Status File::readToEnd(std::vector<uint8_t>& out) const
{
    out.clear();
    uint8_t buffer[65536];
    for (;;) {
        size_t got = 0;
        if (Status s = readSomeAt(buffer, sizeof buffer, int64_t(out.size()), got); !s)
            return s;
        if (got == 0)
            return {};
        out.insert(out.end(), buffer, buffer + got);
    }
}

} // namespace os
