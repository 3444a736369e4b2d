#include "tests/paradox_test_support.h"

#include "platform/os/process.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace test_support {

ScratchDir::ScratchDir(const std::string& name)
    : path_(fs::temp_directory_path() / ("tessaly_" + name + "_" + std::to_string(os::processId())))
{
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() { fs::remove_all(path_); }

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
        std::FILE* f = std::fopen((dir / name).string().c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
}

} // namespace test_support
