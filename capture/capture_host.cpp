#include "capture_host.h"

#include <atomic>

namespace {

CCaptureHost& PlainHost()
{
    static CCaptureHost host;
    return host;
}

std::atomic<CCaptureHost*>& Installed()
{
    static std::atomic<CCaptureHost*> host{nullptr};
    return host;
}

}  // namespace

CCaptureHost& CaptureHost()
{
    CCaptureHost* host = Installed().load();
    return host ? *host : PlainHost();
}

void SetCaptureHost(CCaptureHost* host)
{
    Installed().store(host);
}
