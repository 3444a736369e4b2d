#include "tests/paradox_test_support.h"

#include "platform/os/file.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace test_support {

ScratchDir::ScratchDir(const std::string& name)
    : path_(fs::temp_directory_path() / ("tessaly_" + name + "_" + std::to_string(::getpid())))
{
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() { fs::remove_all(path_); }

CommandResult run(const std::string& command)
{
    CommandResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 65536> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

CommandResult pxdump(const std::string& table, const std::string& index)
{
    std::string command = std::string(PXDUMP) + " ";
    if (!index.empty())
        command += "-x '" + index + "' ";
    return run(command + "'" + table + "' 2>/dev/null");
}

std::vector<std::string> rowLines(const std::string& dump)
{
    std::vector<std::string> rows;
    std::istringstream in(dump);
    std::string line;
    while (std::getline(in, line))
        if (!line.starts_with("# "))
            rows.push_back(line);
    return rows;
}

void copyFamily(const std::string& sharedTable, const fs::path& to, bool withSecondaryIndexes)
{
    const fs::path source(sharedTable);
    std::string stem = source.stem().string();
    for (char& c : stem)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    for (const auto& entry : fs::directory_iterator(source.parent_path())) {
        std::string name = entry.path().stem().string();
        for (char& c : name)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        std::string ext = entry.path().extension().string();
        for (char& c : ext)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        const bool secondary = ext.starts_with(".X") || ext.starts_with(".Y");
        if (name == stem && (withSecondaryIndexes || !secondary)) {
            fs::copy_file(entry.path(), to / entry.path().filename(), fs::copy_options::overwrite_existing);
            fs::permissions(to / entry.path().filename(), fs::perms::owner_read | fs::perms::owner_write,
                            fs::perm_options::add);
        }
    }
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Files filesOf(const fs::path& dir)
{
    Files files;
    for (const auto& e : fs::directory_iterator(dir))
        files[e.path().filename().string()] = slurp(e.path().string());
    return files;
}

void writeFiles(const fs::path& dir, const Files& files)
{
    for (const auto& e : fs::directory_iterator(dir))
        fs::remove(e.path());
    for (const auto& [name, content] : files) {
        std::FILE* f = std::fopen((dir / name).c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
}

bool finishedUnlessKilledAt(int k, const std::function<void(const paradox::Env&)>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        int changesLeft = k;
        paradox::Env env;
        env.files.observe = [&changesLeft](const os::Event&) {
            if (--changesLeft == 0)
                ::raise(SIGKILL);
        };
        try {
            body(env);
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace test_support
