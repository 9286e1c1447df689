// The settings file: load it, save it and load it again.
#include <cstdint>
#include <exception>

#include "appconfig.h"
#include "fuzz_archive.h"
#include "sandbox.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  testing_sandbox::Enter();
  AppConfig::SetDisplayWidthSource([] { return 1024; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const wxString path =
      wxString::FromUTF8(testing_fuzz::WriteInput(testing_fuzz::FileBytes(data, size, cmn::kSettingsFileMagic)));
  AppConfig config;
  try {
    config.LoadFile(path);
  } catch (const std::exception&) {
    return 0;
  }
  const wxString again = path + ".saved";
  try {
    config.SaveFile(again, ArchiveInfo(APP_VERSION_CODE, 1));
    AppConfig back;
    back.LoadFile(again);
    if (back.options.map.size() != config.options.map.size()) std::abort();
  } catch (const std::exception&) {
    std::abort();
  }
  return 0;
}
