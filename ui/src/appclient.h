#pragma once
// What the clipboard manager and the network server need from the
// application, in one place: the automatic sending of a capture, the log,
// and the taskbar icon's short animation when a record arrives (captured or
// received), and the key notices for the popup and the floating list.
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
  // For the manager and the server alike (GUI thread).
  void AnimateTaskbarIcon() override;
  // The popup list's and the floating list's turns at a key notice; not
  // taken while the window does not exist.
  bool OnPopupHotKey(WPARAM vk, bool released, bool repeat, pq::KeyModifiers typedWith) override;
  bool OnFloatingHotKey(WPARAM vk, pq::KeyModifiers typedWith) override;

 private:
  PastiqApp& app_;
};
