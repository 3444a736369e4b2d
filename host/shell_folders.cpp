#include "host/shell_folders.h"

#include "host/host_error.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

constexpr uint32_t CSIDL_FLAG_CREATE = 0x8000;

QString environment(const char* name) { return QString::fromLocal8Bit(qgetenv(name)); }

// XDG_DOCUMENTS_DIR from user-dirs.dirs, with $HOME expanded.
QString documentsFolder(const QString& home)
{
    QString config = environment("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = home + QStringLiteral("/.config");
    QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
    if (dirs.open(QIODevice::ReadOnly)) {
        static const QRegularExpression line(QStringLiteral("^\\s*XDG_DOCUMENTS_DIR\\s*=\\s*\"([^\"]*)\""));
        for (const QString& text : QString::fromUtf8(dirs.readAll()).split(QChar('\n'))) {
            const auto m = line.match(text);
            if (m.hasMatch()) {
                QString path = m.captured(1);
                path.replace(QLatin1String("$HOME"), home);
                if (path.startsWith(QChar('/')))
                    return path;
            }
        }
    }
    return home + QStringLiteral("/Documents");
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QChar('/')))
        path.chop(1);
    return path;
}

} // namespace

QString shellFolder(uint32_t ID, bool Create)
{
    if (Create)
        ID |= CSIDL_FLAG_CREATE;
    const QString home = environment("HOME");
    QString path;
    switch (ID & ~CSIDL_FLAG_CREATE) {
    case CSIDL_COMMON_APPDATA:
        path = environment("XDG_DATA_HOME");
        if (path.isEmpty() && !home.isEmpty())
            path = home + QStringLiteral("/.local/share");
        break;
    case CSIDL_PERSONAL:
        if (!home.isEmpty())
            path = documentsFolder(home);
        break;
    default: break;
    }
    if (path.isEmpty())
        throw HostError("Erro ao solicitar a pasta.");
    path = withoutTrailingSlash(path);
    if ((ID & CSIDL_FLAG_CREATE) && !QDir().mkpath(path))
        throw HostError("Erro ao solicitar a pasta.");
    return path;
}

QString programVersion()
{
    return QStringLiteral("%1.%2.%3").arg(TESSALY_VERSION_MAJOR).arg(TESSALY_VERSION_MINOR).arg(TESSALY_VERSION_PATCH);
}
