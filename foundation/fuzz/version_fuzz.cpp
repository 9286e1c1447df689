// The version check's decoder of what the update server sends: the HTTP
// response, then the version file in it.
#include <cstddef>
#include <cstdint>
#include <string>

#include <wx/string.h>

#include "appversion.h"
#include "cmn/versionchecker.h"
#include "httpget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string response(reinterpret_cast<const char*>(data), size);
  std::string body;
  if (!cmn::http::ParseResponse(response, &body)) body = response;  // the file reader on its own, too
  long version = 0;
  wxString address;
  cmn::wx::VersionChecker::ReadVersionFile(body, "pastiq", APP_VERSION_CODE, &version, &address);
  return 0;
}
