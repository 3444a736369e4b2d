#include "app/shared_state.h"

TfrmClientes* frmClientes = nullptr;
QString pastaCommonAppData;
QString pastaDocumentos;
QString pastaInstalacao;
QString pastaDados;
QString pastaPrograma;
QString pastaTemporaria;
QString versaoAplicacao;
bool falhaInicializacao = false;
QString pastaXML;
QString pastaEncontrada;
TCliente clienteAtual;
TProduto produtoAtual;
QString codigoProduto;
xml::Document* xmlProdutos = nullptr;
xml::Document* xmlClientes = nullptr;
int32_t resultadoBusca = 0;
TSearchRec registroBusca;

void resetSharedState()
{
    frmClientes = nullptr;
    pastaCommonAppData.clear();
    pastaDocumentos.clear();
    pastaInstalacao.clear();
    pastaDados.clear();
    pastaPrograma.clear();
    pastaTemporaria.clear();
    versaoAplicacao.clear();
    falhaInicializacao = false;
    pastaXML.clear();
    pastaEncontrada.clear();
    clienteAtual = TCliente{};
    produtoAtual = TProduto{};
    codigoProduto.clear();
    xmlProdutos = nullptr;
    xmlClientes = nullptr;
    resultadoBusca = 0;
    registroBusca = TSearchRec{};
}
