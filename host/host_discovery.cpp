#include "host/host_discovery.h"

#include "host/host_error.h"
#include "host/host_paths.h"
#include "host/ini_file.h"
#include "host/regional_date.h"
#include "host/registry_file.h"
#include "platform/text/utf8_text.h"

#include <filesystem>

namespace {

constexpr const char* uninstallKey32 = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko";
constexpr const char* uninstallKey64 = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko";

constexpr const char* startupErrorPrefix = "Ocorreu um erro na inicialização do sistema: ";

// A host file the system failed to read: told with the system's reason, and
// no data folder comes back, so that no check is passed by an error.
std::string unreadableMessage(const std::string& path, const std::string& reason)
{
    return startupErrorPrefix + ("não foi possível ler " + path) + ": " + reason;
}

bool isFile(const std::string& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

std::string trimControls(const std::string& text) { return std::string(text::trimControls(text)); }

// The uninstall command of the host, as the registry view of a 32-bit program shows it.
std::string uninstallString(const WinePrefix& prefix)
{
    RegistryFile registry;
    if (!registry.load(prefix.systemRegistry()))
        return {};
    const std::string key = registry.is64Bit() ? uninstallKey64 : uninstallKey32;
    if (!registry.hasKey(key))
        return {};
    const auto value = registry.value(key, "UninstallString");
    if (value && value->type == RegistryValue::Type::Other)
        throw HostError("Invalid data type for 'UninstallString'");
    return value ? value->text : std::string();
}

} // namespace

HostLocation findHostData(const WinePrefix& prefix)
{
    HostLocation found;
    std::string& pastaInstalacao = found.pastaInstalacao;
    std::string result;
    try {
        const std::string installation =
            dropTrailingDelimiter(trimControls(folderPart(commandProgram(trimControls(uninstallString(prefix))))));
        if (installation.empty()) {
            found.message = "Não foi retornada a pasta de dados do software Pelko.";
            return found;
        }
        pastaInstalacao = prefix.nativePath(installation);
        if (pastaInstalacao.empty())
            pastaInstalacao = installation;

        const std::string routes = prefix.nativePath(installation + "\\ROTAS.INI");
        std::string data = dropTrailingDelimiter(installation);
        if (isFile(routes)) {
            IniFile ini;
            if (std::string reason; !ini.load(routes, &reason)) {
                found.message = unreadableMessage(routes, reason);
                return found;
            }
            data = dropTrailingDelimiter(ini.value("Geral", "Rota", installation));
        }
        if (data.empty())
            return found;
        result = prefix.nativePath(data, pastaInstalacao);
        if (result.empty())
            result = data;

        if (!isFile(hostFile(result, "pelko.ini"))) {
            found.message = "Não foi localizado um banco de dados na pasta " + result;
            return found;
        }
        // A missing, empty or undated version counts as the earliest date.
        IniFile ini;
        std::string readError;
        if (!ini.load(hostFile(result, "pelko.ini"), &readError)) {
            found.message = unreadableMessage(hostFile(result, "pelko.ini"), readError);
            return found;
        }
        using namespace std::chrono;
        const year_month_day dataVersion =
            dataVersionDate(ini.value("Geral", "DataVersao")).value_or(year_month_day {year(1), January, day(1)});
        const year_month_day threshold = minimumDataVersion();
        if (threshold > dataVersion) {
            found.message = std::string("Este módulo somente pode ser executado caso a versão de seu software "
                                        "Pelko seja igual ou posterior 5.2.14.\r\r"
                                        "Será necessário comprar uma atualização no site ")
                            + updatePageAddress
                            + " (se sua empresa tem contrato de suporte técnico, esta atualização é grátis).";
            return found;
        }
        found.pastaDados = result;
        return found;
    } catch (const std::exception& e) {
        found.message = startupErrorPrefix + std::string(e.what());
        found.pastaDados = result;
        return found;
    }
}

StartupStatus checkHostTables(const std::string& pastaDados)
{
    for (const char* table : {"tabcli.db", "tabEst1.db"})
        if (!isFile(hostFile(pastaDados, table)))
            return StartupStatus::refused("Não foi localizado um banco de dados do software Pelko na pasta " + pastaDados);
    return StartupStatus::passed();
}
