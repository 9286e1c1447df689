#pragma once
// Settings with their defaults installed for the option access (the
// toolkit-side reads and the core's), for the length of one test or
// benchmark.
#include "appconfig.h"
#include "pq/options.h"

class ScopedSettings {
 public:
  ScopedSettings() {
    SetAppConfig(&config);
    pq::SetOptionStore(&config.options);
  }
  ~ScopedSettings() {
    pq::SetOptionStore(nullptr);
    SetAppConfig(nullptr);
  }
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;
  AppConfig config;
};
