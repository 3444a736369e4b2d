#include "app/window_env.h"

#include <cstdio>
#include <cstdlib>

void DesktopEnv::endProgram()
{
    std::fflush(nullptr);
    std::exit(0);
}
