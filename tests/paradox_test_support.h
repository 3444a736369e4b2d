#pragma once

#include "platform/paradox/env.h"
#include "platform/paradox/value.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Helpers for the engine's tests: a scratch folder, the independent reader's
// dump, and a few host-like tables.
namespace test_support {

namespace fs = std::filesystem;

// A fresh folder under the temporary directory, removed by the destructor.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name);
    ~ScratchDir();
    const fs::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

struct CommandResult {
    int status = -1;
    std::string out;
};

// Runs a shell command and collects its standard output.
CommandResult run(const std::string& command);

// The independent reader's dump of a table (with -x PX when given).
CommandResult pxdump(const std::string& table, const std::string& index = {});

// Only the row lines of a dump.
std::vector<std::string> rowLines(const std::string& dump);

// Copies every file of the shared table folder that belongs to the table.
void copyFamily(const std::string& sharedTable, const fs::path& to, bool withSecondaryIndexes = true);

std::string slurp(const std::string& path);

// The files of a folder: name -> content.
using Files = std::map<std::string, std::string>;
Files filesOf(const fs::path& dir);
// Makes the folder hold exactly these files.
void writeFiles(const fs::path& dir, const Files& files);

// Runs body in a child process that is killed before the k-th change to a
// file made through the env body is given (never when k < 1); true when
// body finished first.
bool finishedUnlessKilledAt(int k, const std::function<void(const paradox::Env&)>& body);

// Names a parameterised case after its parameter's name.
struct CaseName {
    template <class Info>
    std::string operator()(const Info& testInfo) const
    {
        return std::string(testInfo.param.name);
    }
};

} // namespace test_support
