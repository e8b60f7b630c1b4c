// A stand-in library for the module tests: exports by name and by ordinal.
#include "plat/module.h"

extern "C" __attribute__((visibility("default"))) int ProbeAnswer() { return 42; }
extern "C" __attribute__((visibility("default"))) int ProbeOther() { return 7; }

LUM_ORDINAL_EXPORTS({7, plat::ExportOf(&ProbeAnswer)}, {8, plat::ExportOf(&ProbeOther)})
