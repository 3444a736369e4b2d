#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <set>
#include <utility>

// The search for the first folder below a starting folder that holds a file
// of the mode (its name holds Arquivo, or the 44-digit access key that names
// an NF-e document, and ends with Extensao; without regard to ASCII case): folders in name order, depth first, the names that
// occur in NaoIncluir and the recycle bin left out, every folder entered once
// however links lead back to it. Entries named like a file of the mode but no
// regular file are passed over and reported through the log line callback;
// the yield callback runs between entries.
class FolderSearch {
public:
    FolderSearch(std::function<void(const QString&)> logLine, std::function<void()> yield)
        : logLine_(std::move(logLine)), yield_(std::move(yield))
    {
    }

    // The folder found (as reached from Pasta), empty when none.
    QString find(const QString& Arquivo, const QString& Extensao, const QString& Pasta, const QString& NaoIncluir);

private:
    void searchFolder(const QString& Arquivo, const QString& Extensao, const QString& Pasta,
                      const QString& NaoIncluir);

    std::function<void(const QString&)> logLine_;
    std::function<void()> yield_;
    std::set<std::pair<uint64_t, uint64_t>> visited_;
    QString pastaEncontrada;
};
