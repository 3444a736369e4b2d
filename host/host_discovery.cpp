#include "host/host_discovery.h"

#include "host/host_error.h"
#include "host/host_paths.h"
#include "host/ini_file.h"
#include "host/regional_date.h"
#include "host/registry_file.h"
#include "platform/text/qt_text.h"

#include <QFileInfo>

namespace {

const QString uninstallKey32 = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko");
const QString uninstallKey64 = QStringLiteral("Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko");

const QString startupErrorPrefix = QStringLiteral("Ocorreu um erro na inicialização do sistema: ");

// A host file the system failed to read: told with the system's reason, and
// no data folder comes back, so that no check is passed by an error.
QString unreadableMessage(const QString& path, const QString& reason)
{
    return startupErrorPrefix + QStringLiteral("não foi possível ler ") + path + QStringLiteral(": ") + reason;
}

bool isFile(const QString& path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

// The uninstall command of the host, as the registry view of a 32-bit program shows it.
QString uninstallString(const WinePrefix& prefix)
{
    RegistryFile registry;
    if (!registry.load(prefix.systemRegistry()))
        return {};
    const QString key = registry.is64Bit() ? uninstallKey64 : uninstallKey32;
    if (!registry.hasKey(key))
        return {};
    const auto value = registry.value(key, QStringLiteral("UninstallString"));
    if (value && value->type == RegistryValue::Type::Other)
        throw HostError("Invalid data type for 'UninstallString'");
    return value ? value->text : QString();
}

} // namespace

HostLocation findHostData(const WinePrefix& prefix)
{
    HostLocation found;
    QString& pastaInstalacao = found.pastaInstalacao;
    QString result;
    try {
        const QString installation =
            dropTrailingDelimiter(trimControls(folderPart(commandProgram(trimControls(uninstallString(prefix))))));
        if (installation.isEmpty()) {
            found.message = QStringLiteral("Não foi retornada a pasta de dados do software Pelko.");
            return found;
        }
        pastaInstalacao = prefix.nativePath(installation);
        if (pastaInstalacao.isEmpty())
            pastaInstalacao = installation;

        const QString routes = prefix.nativePath(installation + QStringLiteral("\\ROTAS.INI"));
        QString data = dropTrailingDelimiter(installation);
        if (isFile(routes)) {
            IniFile ini;
            if (QString reason; !ini.load(routes, &reason)) {
                found.message = unreadableMessage(routes, reason);
                return found;
            }
            data = dropTrailingDelimiter(ini.value(QStringLiteral("Geral"), QStringLiteral("Rota"), installation));
        }
        if (data.isEmpty())
            return found;
        result = prefix.nativePath(data, pastaInstalacao);
        if (result.isEmpty())
            result = data;

        if (!isFile(hostFile(result, QStringLiteral("pelko.ini")))) {
            found.message = QStringLiteral("Não foi localizado um banco de dados na pasta ") + result;
            return found;
        }
        // A missing, empty or undated version counts as the earliest date.
        IniFile ini;
        QString readError;
        if (!ini.load(hostFile(result, QStringLiteral("pelko.ini")), &readError)) {
            found.message = unreadableMessage(hostFile(result, QStringLiteral("pelko.ini")), readError);
            return found;
        }
        const QDate dataVersion =
            dataVersionDate(ini.value(QStringLiteral("Geral"), QStringLiteral("DataVersao"))).value_or(QDate(1, 1, 1));
        const QDate threshold = minimumDataVersion();
        if (threshold > dataVersion) {
            found.message = QStringLiteral("Este módulo somente pode ser executado caso a versão de seu software "
                                           "Pelko seja igual ou posterior 5.2.14.\r\r"
                                           "Será necessário comprar uma atualização no site ")
                            + QString::fromLatin1(updatePageAddress)
                            + QStringLiteral(" (se sua empresa tem contrato de suporte técnico, esta atualização é "
                                             "grátis).");
            return found;
        }
        found.pastaDados = result;
        return found;
    } catch (const std::exception& e) {
        found.message = startupErrorPrefix + QString::fromUtf8(e.what());
        found.pastaDados = result;
        return found;
    }
}

StartupStatus checkHostTables(const QString& pastaDados)
{
    for (const char* table : {"tabcli.db", "tabEst1.db"})
        if (!isFile(hostFile(pastaDados, QString::fromLatin1(table))))
            return StartupStatus::refused(QStringLiteral("Não foi localizado um banco de dados do software Pelko na pasta ")
                                          + pastaDados);
    return StartupStatus::passed();
}
