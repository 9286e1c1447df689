#pragma once
// The platform calls the hook library is written against: windows and
// messages, hooks, key state, processes and time.
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/process.h"
#include "platform/types.h"
#include "platform/window.h"
