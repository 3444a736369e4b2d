#include "log/activity_log.h"

#include "log/log_timestamp.h"
#include "platform/text/visible_text.h"

std::string ActivityLog::pathIn(const std::string& pastaPrograma) { return pastaPrograma + "/Tessaly.log"; }

bool ActivityLog::write(const std::string& mensagem, std::string* notice)
{
    const std::string entry = logTimestamp(localMomentNow()) + " - " + mensagem;
    std::string why;
    if (writer_.append(path_, entry, &why))
        return true;
    if (notice && !failureTold_) {
        // The messages still reach the user; only their record is missing.
        *notice = "Não foi possível gravar o registro de atividades em " + text::visible(path_) + ": " + why
                  + ". As mensagens continuam a ser mostradas, mas não ficam registradas.";
        failureTold_ = true;
    }
    return false;
}
