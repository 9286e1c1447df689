#pragma once
// The simulated desktop, the default backend until another is started.
#include <memory>

#include "platform/backend.h"

namespace platform::detail {
std::unique_ptr<Backend> MakeSimBackend();
}  // namespace platform::detail
