#include "app/application.h"
#include "app/frm_clientes.h"
#include "app/window_env.h"
#include "host/shell_folders.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const usageText =
    "Uso: tessaly [--help] [--version]\n"
    "\n"
    "Abre a janela que importa os clientes e os produtos de arquivos XML de NF-e\n"
    "para as tabelas do Pelko. Para importar pela linha de comando, em scripts\n"
    "ou importações agendadas, use tessaly-import (tessaly-import --help).\n"
    "\n"
    "  --help     mostra este texto\n"
    "  --version  mostra a versão\n";

} // namespace

int main(int argc, char** argv)
{
    // Answered on the terminal, before anything needs a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usageText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tessaly %s\n", programVersion().c_str());
            return 0;
        }
    }
    DesktopEnv env;
    TApplication application(argc, argv, &env.dialogs());
    TfrmClientes* window = TfrmClientes::Create(env);
    window->show();
    const int status = TApplication::exec();
    delete window;
    return status;
}
