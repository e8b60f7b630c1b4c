// The platform stand-in: everything the system's code includes.
#pragma once

#include "plat/types.h"
#include "plat/error.h"
#include "plat/debug.h"
#include "plat/handle.h"
#include "plat/clock.h"
#include "plat/file.h"
#include "plat/registry.h"
#include "plat/window.h"
#include "plat/message.h"
#include "plat/input.h"
#include "plat/dialog.h"
#include "plat/shell.h"
#include "plat/framework.h"
#include "plat/sync.h"
#include "plat/thread.h"
