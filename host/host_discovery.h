#pragma once

#include "host/host_error.h"
#include "host/wine_prefix.h"

#include <string>

// Where the host application keeps its data, as its installation in the Wine
// prefix tells: the uninstall entry, ROTAS.INI, pelko.ini and its data
// version. Nothing is shown: a refusal comes back as its message. Paths
// and texts are UTF-8.
struct HostLocation {
    std::string pastaInstalacao;  // native; empty when not found
    std::string pastaDados;       // native; empty when refused
    std::string message;          // what to tell the user; empty when nothing
};

HostLocation findHostData(const WinePrefix& prefix = WinePrefix());

// Refuses a data folder without the host's client and stock tables.
StartupStatus checkHostTables(const std::string& pastaDados);

// Where the maker sells updates of the host application.
inline constexpr const char* updatePageAddress = "https://www.example.com/pelko/atualizacao";
