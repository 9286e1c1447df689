#pragma once
// The manager started as the program starts it, on the X11 backend of a
// private display: settings with their defaults, the default history, a main
// frame window, the hook library's hooks.
#include <memory>
#include <string>
#include <vector>

#include "appconfig.h"
#include "platform/window.h"
#include "pq/history.h"
#include "pq/mgr.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "xserver.h"

namespace system_test {

class Client : public pq::MgrClient {
 public:
  bool OnPopupHotKey(WPARAM vk, bool released, bool, pq::KeyModifiers) override {
    keys.push_back(released ? -1 : static_cast<int>(vk));
    return true;
  }
  std::vector<int> keys;  // -1: the shortcut's modifiers were released
};

class Desktop {
 public:
  // False when the servers or the backend did not come up.
  bool Start();
  void Stop();
  ~Desktop() { Stop(); }

  pq::RecordList* Main() { return history.GetMainList(); }

  x11test::XServer server;
  std::unique_ptr<AppConfig> config;
  pq::History history;
  Client client;
  HWND frame = nullptr;
  bool started = false;
};

}  // namespace system_test
