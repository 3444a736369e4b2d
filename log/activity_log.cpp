#include "log/activity_log.h"

#include "log/log_timestamp.h"
#include "platform/text/visible_text.h"

#include <algorithm>
#include <ctime>

namespace {

// The local wall-clock time now. Asking the C library directly reads the time
// zone once per process, where a QDateTime of local time looks at the zone
// file again for every entry.
QString timestampNow()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    ::localtime_r(&now.tv_sec, &local);
    return logTimestamp(QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
                        QTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), int(now.tv_nsec / 1000000)));
}

} // namespace

QString ActivityLog::pathIn(const QString& pastaPrograma) { return pastaPrograma + QLatin1String("/Tessaly.log"); }

bool ActivityLog::write(const QString& mensagem, QString* notice)
{
    const QString entry = timestampNow() + QLatin1String(" - ") + mensagem;
    std::string why;
    if (writer_.append(path_.toStdString(), entry.toStdString(), &why))
        return true;
    if (notice && !failureTold_) {
        // The messages still reach the user; only their record is missing.
        *notice = QStringLiteral("Não foi possível gravar o registro de atividades em ")
                  + QString::fromStdString(text::visible(path_.toStdString())) + QStringLiteral(": ")
                  + QString::fromStdString(why)
                  + QStringLiteral(". As mensagens continuam a ser mostradas, mas não ficam registradas.");
        failureTold_ = true;
    }
    return false;
}
