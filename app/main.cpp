#include "app/application.h"
#include "app/frm_clientes.h"

int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    TfrmClientes* window = TfrmClientes::Create();
    window->show();
    const int status = TApplication::exec();
    delete window;
    return status;
}
