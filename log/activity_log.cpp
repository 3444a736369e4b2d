#include "log/activity_log.h"

#include "log/log_timestamp.h"

QString ActivityLog::pathIn(const QString& pastaPrograma) { return pastaPrograma + QLatin1String("/Tessaly.log"); }

bool ActivityLog::write(const QString& mensagem, QString* failure)
{
    const QString entry = logTimestamp(QDateTime::currentDateTime()) + QLatin1String(" - ") + mensagem;
    std::string why;
    if (writer_.append(path_.toStdString(), entry.toStdString(), &why))
        return true;
    if (failure)
        *failure = QString::fromStdString(why);
    return false;
}
