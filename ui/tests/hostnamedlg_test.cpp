#include "hostnamedlg.h"

#include <gtest/gtest.h>

#include <string>

#include <wx/textctrl.h>

#include "dialog_test_util.h"

namespace {
// Opens the dialog for a new address, types host and port, presses OK; the
// address it then hands back.
OkPress Ask(const wxString& host, const wxString& port, wxString* hostRead = nullptr, int* portRead = nullptr) {
  HostnameDlg dialog(nullptr, "", 45689);
  const OkPress press = PressOKOnce(
      dialog,
      [&] {
        dialog.GetHostText()->SetValue(host);
        dialog.GetPortText()->SetValue(port);
      },
      {{dialog.GetHostText(), "host"}, {dialog.GetPortText(), "port"}});
  if (hostRead) *hostRead = dialog.GetHostname();
  if (portRead) *portRead = dialog.GetPort();
  return press;
}

TEST(HostnameDialog, OpensWithTheAddressGiven) {
  HostnameDlg dialog(nullptr, "laptop", 8080);
  EXPECT_EQ(dialog.GetTitle(), "Hostname");
  EXPECT_EQ(dialog.GetHostText()->GetValue(), "laptop");
  EXPECT_EQ(dialog.GetPortText()->GetValue(), "8080");
  EXPECT_NE(dialog.FindWindow(wxID_CANCEL), nullptr);
  RunModal(dialog, [&] { EXPECT_EQ(FocusedWindow(), dialog.GetHostText()); });
  const NetworkAddress address = dialog.GetAddress();
  EXPECT_EQ(address.host, "laptop");
  EXPECT_EQ(address.port, 8080);
}

TEST(HostnameDialog, ChecksTheHostThenThePort) {
  const wxString noName = "Name can not be empty!";
  const wxString badPort = "The port is not valid!";
  struct Case {
    const char* host;
    const char* port;
    wxString message;  // empty: accepted
    const char* focus;
    int result;
  } cases[] = {
      {"", "65536", noName, "host", 0},  // the host first, whatever the port says
      {"", "80", noName, "host", 0},
      {"pc", "65536", badPort, "port", 0},
      {"pc", "-1", badPort, "port", 0},
      {"pc", "", badPort, "port", 0},
      {"pc", "80 ", badPort, "port", 0},
      {"pc", "8o", badPort, "port", 0},
      {"pc", "4294967376", badPort, "port", 0},
      {"pc", "0", "", "", 0},
      {"pc", "65535", "", "", 65535},
      {"pc", " 80", "", "", 80},
      {"  ", "45689", "", "", 45689},  // blanks are a host, passed on unchanged
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.host + "' '" + c.port + "'");
    wxString host;
    int port = 0;
    const OkPress press = Ask(c.host, c.port, &host, &port);
    if (!c.message.empty()) {
      ExpectRefused(press, c.message, c.focus);
      continue;
    }
    ExpectAccepted(press);
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.result);
  }
}

TEST(HostnameDialog, APortThatIsNoPortReadsAsMinusOne) {
  HostnameDlg dialog(nullptr, "", 45689);
  for (const char* text : {"", "x", "70000", "-3"}) {
    dialog.GetPortText()->SetValue(text);
    EXPECT_EQ(dialog.GetPort(), -1) << text;
  }
}
}  // namespace
