#pragma once
// The option store the core reads its switches from: the settings record's,
// plugged in by the application at start-up. Until then (and in tests that
// set none) every option is absent, so readers get their defaults.
#include "cmn/option.h"

namespace pq {

void SetOptionStore(cmn::option<int>* store);
cmn::option<int>* GetOptionStore();

// A bool option, or `def` when the store is missing, the option absent or
// its text not a bool.
bool GetBoolOption(int id, bool def);
// Stores a bool option (observers are told as the store says); without a
// store nothing happens.
void SetBoolOption(int id, bool value);

}  // namespace pq
