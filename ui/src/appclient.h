#pragma once
// What the clipboard manager and the network server need from the
// application, in one place: the automatic sending of a capture, the log,
// and the taskbar icon's short animation when a record arrives (captured or
// received). The windows that take the popup and floating keys plug in here
// too, as they come.
#include "net/server.h"
#include "pq/mgr.h"

class PastiqApp;

class AppClient : public pq::MgrClient, public net::AppServices {
 public:
  explicit AppClient(PastiqApp& app) : app_(app) {}

  // A captured record to one of the automatic-sending hosts.
  void SendRecord(const pq::RecordPtr& record, const NetworkAddress& host) override;
  // The program's log (any thread).
  void Log(int level, const wxString& text) override;
  // For the manager and the server alike; nothing until there is an icon.
  void AnimateTaskbarIcon() override;

 private:
  PastiqApp& app_;
};
