#pragma once
// Shared between the bitmap and metafile halves of the GDI code.
#include "handles.h"
#include "platform/gdi.h"

namespace platform::detail {
bool IsBitmap(HGDIOBJ h);
bool DeleteBitmap(HGDIOBJ h);
std::size_t LiveBitmaps();
std::size_t LiveMetaFiles();
}  // namespace platform::detail
