// Microseconds per activity-log entry with a log of 0, 10 and 100 MB already
// in place. The first call of a process reads the file once to learn its
// form; it is shown apart.

#include "log/log_file.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main()
{
    const fs::path dir = fs::temp_directory_path() / "tessaly_log_bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string line = "10/12/2026 10:00:00 - Arquivo localizado: \"NFe-CLIENTE-000123.xml\".\r\n";
    std::printf("%-10s %16s %20s\n", "log size", "first call (us)", "later calls (us/call)");
    for (int mb : {0, 10, 100}) {
        const fs::path path = dir / ("Tessaly" + std::to_string(mb) + ".log");
        {
            std::ofstream out(path, std::ios::binary);
            for (size_t written = 0; written < size_t(mb) * 1024 * 1024; written += line.size())
                out << line;
        }
        activity_log::Writer writer;
        const auto t0 = Clock::now();
        writer.append(path.string(), "10/12/2026 10:00:01 - Verificando último código cadastrado");
        const auto t1 = Clock::now();
        const int calls = 2000;
        for (int i = 0; i < calls; ++i)
            writer.append(path.string(), "10/12/2026 10:00:02 - Cliente Fulano inserido com sucesso em TABCLI.db!");
        const auto t2 = Clock::now();
        std::printf("%7d MB %16.1f %20.2f\n", mb, std::chrono::duration<double, std::micro>(t1 - t0).count(),
                    std::chrono::duration<double, std::micro>(t2 - t1).count() / calls);
    }
    fs::remove_all(dir);
}
