// Inside the platform: what "coredll.dll" answers to GetProcAddressW.
#pragma once

#include "plat/module.h"

namespace plat {

// The platform function of that exported name, or null.
FARPROC FindCoredllExport(LPCWSTR name);

}  // namespace plat
