#include "appclient.h"

#include "app.h"
#include "floatingwindow.h"
#include "logger.h"
#include "net/send.h"
#include "popupwindow.h"
#include "taskbaricon.h"

void AppClient::SendRecord(const pq::RecordPtr& record, const NetworkAddress& host) {
  net::SendRecord(app_.GetServer(), record, host);
}

void AppClient::Log(int level, const wxString& text) { Logger::Get().Log(level, text); }

void AppClient::AnimateTaskbarIcon() {
  if (TaskBarIcon* icon = app_.GetTaskBarIcon()) icon->Animate();
}

bool AppClient::OnPopupHotKey(WPARAM vk, bool released, bool repeat, pq::KeyModifiers typedWith) {
  PopupWindow* popup = app_.GetPopupWindow();
  return popup && popup->OnHotKey(static_cast<int>(vk), released, repeat, typedWith);
}

bool AppClient::OnFloatingHotKey(WPARAM vk, pq::KeyModifiers typedWith) {
  FloatingWindow* floating = app_.GetFloatingWindow();
  return floating && floating->OnHotKey(static_cast<int>(vk), typedWith);
}
