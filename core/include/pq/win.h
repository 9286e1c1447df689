#pragma once
// The platform interfaces the clipboard core is written against, in one place.
#include "platform/clipformats.h"
#include "platform/com.h"
#include "platform/gdi.h"
#include "platform/global.h"
#include "platform/ole.h"
#include "platform/process.h"
#include "platform/storage.h"
#include "platform/types.h"
