#pragma once
// A settings record of a test's own, installed (SetAppConfig) for as long as
// it lives; the record installed before is put back afterwards. Every layer
// reads its options through the installed record, so this is all a test
// needs to set options or watch their observers.
//
//   testing_settings::ScopedSettings settings;                          // every default, as a first start
//   testing_settings::ScopedSettings bare(testing_settings::kNoOptions); // not one option set
//   settings.options().Set(OPT_RECORDING, false);                       // observers are told
//
// Header only; needs foundation.
#include "appconfig.h"

namespace testing_settings {

enum Start { kDefaults, kNoOptions };

class ScopedSettings {
 public:
  explicit ScopedSettings(Start start = kDefaults) : previous_(FindAppConfig()) {
    if (start == kNoOptions) config.options.Clear();
    SetAppConfig(&config);
  }
  ~ScopedSettings() { SetAppConfig(previous_); }
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;

  cmn::option<int>& options() { return config.options; }

  AppConfig config;

 private:
  AppConfig* previous_;
};

}  // namespace testing_settings
