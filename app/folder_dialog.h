#pragma once

#include <QString>
#include <cstdint>

inline constexpr uint32_t BIF_RETURNONLYFSDIRS = 1;

class Dialogs;

// Shows the folder dialog of dialogs: only folders can be confirmed,
// PastaInicial (when not empty) is preselected. Returns the chosen folder,
// empty on cancel.
QString SelecionaPasta(Dialogs& dialogs, const QString& Titulo, uint32_t Flags, const QString& PastaInicial);
