#pragma once

#include "host/host_error.h"
#include "host/wine_prefix.h"

#include <QString>

// Where the host application keeps its data, as its installation in the Wine
// prefix tells: the uninstall entry, ROTAS.INI, pelko.ini and its data
// version. Nothing is shown: a refusal comes back as its message.
struct HostLocation {
    QString pastaInstalacao;  // native; empty when not found
    QString pastaDados;       // native; empty when refused
    QString message;          // what to tell the user; empty when nothing
};

HostLocation findHostData(const WinePrefix& prefix = WinePrefix());

// Refuses a data folder without the host's client and stock tables.
StartupStatus checkHostTables(const QString& pastaDados);

// Where the maker sells updates of the host application.
inline constexpr const char* updatePageAddress = "https://www.example.com/pelko/atualizacao";
