#include "log/activity_log.h"

#include "log/log_timestamp.h"
#include "platform/text/visible_text.h"

QString ActivityLog::pathIn(const QString& pastaPrograma) { return pastaPrograma + QLatin1String("/Tessaly.log"); }

bool ActivityLog::write(const QString& mensagem, QString* notice)
{
    const QString entry = logTimestamp(QDateTime::currentDateTime()) + QLatin1String(" - ") + mensagem;
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
