#include "platform/os/file_events.h"

namespace os {
namespace {
WriteObserver observer = nullptr;
FaultInjector injector = nullptr;
} // namespace

void setWriteObserver(WriteObserver o) { observer = o; }
void setFaultInjector(FaultInjector f) { injector = f; }

int injected(const Event& event) { return injector ? injector(event) : 0; }

int tell(const Event& event)
{
    if (const int error = injected(event))
        return error;
    if (observer)
        observer(event);
    return 0;
}

} // namespace os
