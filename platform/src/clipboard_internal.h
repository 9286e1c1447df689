#pragma once
// What the simulated desktop needs of the clipboard beyond the public calls.
#include <cstdint>
#include <functional>

#include "platform/clipboard.h"

namespace platform::detail {
// Forgets everything (contents, owner, viewers, the OLE object, which is
// released), as a fresh desktop starts.
void ResetClipboard();
// As SetClipboardData, with the medium the data stands for: TYMED_ISTORAGE
// marks a global block that holds a storage's bytes.
HANDLE SetClipboardDataAs(UINT format, HANDLE data, DWORD tymed);
// As SetClipboardData for data that is costly to make and may never be asked
// for: `render` makes it on the first request, outside the clipboard's lock;
// when it gives null the format is no longer available. The clipboard must
// be open by the calling thread.
bool SetClipboardDataLater(UINT format, std::function<HANDLE()> render);
// The clipboard stays open by the calling thread until the backend's clock
// reaches `untilMs` (then it closes as if that thread closed it, without a
// change); ~0 holds it until ReleaseClipboardHold.
void HoldClipboardOpenUntil(std::uint64_t untilMs);
void ReleaseClipboardHold();
}  // namespace platform::detail
