#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>

// The search for the first folder below a starting folder that holds a file
// of the mode (its name holds Arquivo, or the 44-digit access key that names
// an NF-e document, and ends with Extensao; without regard to ASCII case): folders in name order, depth first, the names that
// occur in NaoIncluir and the recycle bin left out, every folder entered once
// however links lead back to it. Entries named like a file of the mode but no
// regular file are passed over and reported through the log line callback;
// the yield callback runs between entries. Texts are UTF-8.
class FolderSearch {
public:
    FolderSearch(std::function<void(const std::string&)> logLine, std::function<void()> yield)
        : logLine_(std::move(logLine)), yield_(std::move(yield))
    {
    }

    // The folder found (as reached from Pasta), empty when none.
    std::string find(const std::string& Arquivo, const std::string& Extensao, const std::string& Pasta,
                     const std::string& NaoIncluir);

private:
    void searchFolder(const std::string& Arquivo, const std::string& Extensao, const std::string& Pasta,
                      const std::string& NaoIncluir);

    std::function<void(const std::string&)> logLine_;
    std::function<void()> yield_;
    std::set<std::pair<uint64_t, uint64_t>> visited_;
    std::string pastaEncontrada;
};
