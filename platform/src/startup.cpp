#include "plat/startup.h"

#include <system_error>

#include "plat/clock.h"
#include "plat/device.h"
#include "plat/file.h"
#include "plat/process.h"
#include "plat/registry.h"

namespace fs = std::filesystem;

namespace plat {

fs::path ExecutableDir()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
}

bool Startup(const StartupOptions& options)
{
    SetDeviceRoot(options.root);
    fs::path deviceTemplate = options.deviceTemplate;
    if (deviceTemplate.empty())
        deviceTemplate = ExecutableDir().parent_path() / "resources" / "device";
    PopulateDeviceRoot(deviceTemplate);
    UseRealClock();
    return OpenRegistry(true);
}

void Shutdown()
{
    EndApplications();
    CloseRegistry();
}

}  // namespace plat
