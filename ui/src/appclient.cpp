#include "appclient.h"

#include "app.h"
#include "logger.h"
#include "net/send.h"

void AppClient::SendRecord(const pq::RecordPtr& record, const NetworkAddress& host) {
  net::SendRecord(app_.GetServer(), record, host);
}

void AppClient::Log(int level, const wxString& text) { Logger::Get().Log(level, text); }

void AppClient::AnimateTaskbarIcon() {
  // The taskbar icon starts its animation here once it exists.
}
