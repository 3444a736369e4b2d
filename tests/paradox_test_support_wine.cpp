#include "tests/paradox_test_support.h"

#include <chrono>
#include <thread>
#include <windows.h>

// The test helpers for Windows programs run under Wine on the build
// machine: commands run in the machine's own shell, which Wine starts as a
// Unix process of its own. Such a process is not waited for and does not
// inherit pipes, so its output and its status go to files, and the status
// file, written last, says it has ended.
namespace test_support {
namespace {

// The Unix path of a Windows path, through Wine's own export; empty when
// not under Wine.
std::string unixPath(const std::string& path)
{
    using Convert = char* (*)(const wchar_t*);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto convert = kernel ? reinterpret_cast<Convert>(
                                      reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")))
                                : nullptr;
    if (!convert)
        return {};
    const std::wstring wide = fs::absolute(fs::path(path)).wstring();
    char* unix = convert(wide.c_str());
    if (!unix)
        return {};
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

CommandResult run(const std::string& command)
{
    CommandResult result;
    static int counter = 0;  // NOLINT: only makes names distinct within the process
    const fs::path base = fs::temp_directory_path() / ("tessaly_run_" + std::to_string(GetCurrentProcessId()) + "_" +
                                                       std::to_string(++counter));
    const fs::path out = base.string() + ".out";
    const fs::path status = base.string() + ".status";
    const std::string unixOut = unixPath(out.string());
    const std::string unixStatus = unixPath(status.string());
    if (unixOut.empty() || unixStatus.empty())
        return result;
    const std::string script = "(" + command + ") > " + quoted(unixOut) + "; echo $? > " + quoted(unixStatus + ".part") +
                               " && mv " + quoted(unixStatus + ".part") + " " + quoted(unixStatus);
    std::wstring line = L"Z:\\bin\\sh -c \"";
    for (char c : script) {
        if (c == '"')
            line += L'\\';
        line += wchar_t(static_cast<unsigned char>(c));
    }
    line += L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return result;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!fs::exists(status) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (fs::exists(status)) {
        result.out = slurp(out.string());
        result.status = std::stoi(slurp(status.string()));
    }
    std::error_code ignored;
    fs::remove(out, ignored);
    fs::remove(status, ignored);
    return result;
}

CommandResult pxdump(const std::string& table, const std::string& index)
{
    std::string command = quoted(PXDUMP) + " ";
    if (!index.empty())
        command += "-x " + quoted(unixPath(index)) + " ";
    return run(command + quoted(unixPath(table)) + " 2>/dev/null");
}

} // namespace test_support
