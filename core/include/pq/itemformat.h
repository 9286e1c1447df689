#pragma once
// One (clipboard format, storage medium) pair that an item offers or a caller
// asks for.
#include "pq/win.h"

namespace pq {

struct ItemFormat {
  CLIPFORMAT format = 0;
  DWORD tymed = 0;

  ItemFormat() = default;
  ItemFormat(CLIPFORMAT f, DWORD t) : format(f), tymed(t) {}
  // Only the format and the medium of a request count.
  explicit ItemFormat(const FORMATETC& fe) : format(fe.cfFormat), tymed(fe.tymed) {}

  // {format, no target device, content, all pages, medium}.
  FORMATETC ToFormatEtc() const;

  // Both words must be equal: a request naming two media matches no pair.
  bool operator==(const ItemFormat& o) const { return format == o.format && tymed == o.tymed; }
  bool operator!=(const ItemFormat& o) const { return !(*this == o); }
};

}  // namespace pq
