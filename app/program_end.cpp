#include "app/program_end.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {
std::function<void()> endHook;
}

void setProgramEndHook(std::function<void()> hook) { endHook = std::move(hook); }

void encerraPrograma()
{
    if (endHook)
        endHook();
    std::fflush(nullptr);
    std::exit(0);
}
