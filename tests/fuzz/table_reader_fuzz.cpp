// libFuzzer target: any bytes as a table file give rows or a clear error,
// never a crash, a hang or a read outside the file.

#include "platform/paradox/error.h"
#include "platform/paradox/table_dump.h"
#include "platform/paradox/table_file.h"

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/tessaly_fuzz_" + std::to_string(::getpid()) + ".db";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    try {
        paradox::TableFile table(path);
        std::ostringstream out;
        paradox::dumpTable(table, out);
    } catch (const paradox::Error&) {
    }
    return 0;
}
