#pragma once

#include <functional>

// Ends the process at once with exit status 0, as every stop of start-up and a
// missing table column do. Tests install a hook that must not return (it throws).
[[noreturn]] void encerraPrograma();
void setProgramEndHook(std::function<void()> hook);
