#include "desktop.h"

#include "options.h"
#include "platform/x11.h"

namespace system_test {

bool Desktop::Start() {
  if (!server.Start(true)) return false;
  std::string error;
  if (!platform::x11::Start(server.display().c_str(), &error)) return false;
  config = std::make_unique<AppConfig>();
  SetAppConfig(config.get());
  config->options.Set(OPT_REJOIN_VIEWER, false);  // the toolkit's timer needs its loop
  config->options.Set(1005, true);                // bitmaps are recorded too
  history.CreateDefaultLists();
  frame = platform::CreateToolkitWindow(L"PastiqMainFrame{35F7679D-4441-4728-9159-36A8119613F7}", L"Pastiq");
  pq::Mgr::Get().SetHistory(&history);
  pq::Mgr::Get().SetClient(&client);
  pq::Mgr::Get().Start(frame);
  started = true;
  x11test::Settle();
  return true;
}

void Desktop::Stop() {
  if (!started) return;
  started = false;
  pq::Mgr::Get().Stop();
  pq::Mgr::Get().SetClient(nullptr);
  pq::Mgr::Get().SetHistory(nullptr);
  DestroyWindow(frame);
  platform::x11::Stop();
  SetAppConfig(nullptr);
  server.Stop();
}

}  // namespace system_test
