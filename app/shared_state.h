#pragma once

#include "import/records.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

class TfrmClientes;
namespace xml { class Document; }

// One entry of a directory enumeration: the bare name and its attribute word.
struct TSearchRec {
    QString Name;  // as shown: bytes that are no text written as escapes
    uint32_t Attr = 0;
    QByteArray nativeName;  // the name's own bytes, which open the file
};

inline constexpr uint32_t faDirectory = 0x10;

// State of the main window's module, alive from start to end of the process.
// Only the user-interface thread touches it.
extern TfrmClientes* frmClientes;
extern QString pastaCommonAppData;
extern QString pastaDocumentos;
extern QString pastaInstalacao;
extern QString pastaDados;
extern QString pastaPrograma;
extern QString pastaTemporaria;
extern QString versaoAplicacao;
extern bool falhaInicializacao;
extern QString pastaXML;
extern QString pastaEncontrada;
extern TCliente clienteAtual;
extern TProduto produtoAtual;
extern QString codigoProduto;
extern xml::Document* xmlProdutos;
extern xml::Document* xmlClientes;
extern int32_t resultadoBusca;
extern TSearchRec registroBusca;

// Back to the state of a fresh process (for a second window in one test run).
void resetSharedState();
