// Two copies of the program on one machine, each with its own home, data
// folder and settings: what one records on its X display it sends to the
// other, which files it in the list its trusted-client entry names.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <random>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "appconfig.h"
#include "appversion.h"
#include "child_process.h"
#include "net/socket.h"
#include "options.h"
#include "pq/history.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "sandbox.h"
#include "xserver.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_process::CatchesSignal;
using testing_process::ChildProcess;
using testing_process::WaitUntil;

namespace {

const std::string kXclip = "/usr/bin/xclip";

// Whether a connection to `port` on this machine has ended on both sides
// (it waits in TIME_WAIT). The side that closed first waits: the sender, or
// the receiver when it finished the object before the sender's thread got
// to close, so either end of the connection may be the one on `port`.
bool TransferEnded(int port) {
  std::ifstream tcp("/proc/net/tcp");
  std::string line;
  std::getline(tcp, line);
  char portText[8];
  std::snprintf(portText, sizeof portText, ":%04X", port);
  while (std::getline(tcp, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    auto onPort = [&](const std::string& address) {
      return address.size() > 5 && address.compare(address.size() - 5, 5, portText) == 0;
    };
    if (state == "06" && (onPort(local) || onPort(remote))) return true;
  }
  return false;
}

// A port free on every address, with no connection to it waiting to end,
// below the range the system hands out to outgoing connections (tests
// running beside this one make many).
int FreePort() {
  // A new one each time: an earlier run leaves its connection waiting.
  static std::mt19937 random{std::random_device()()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    net::Listener l;
    net::Endpoint any;
    any.port = 20000 + static_cast<int>(random() % 12000);
    if (!TransferEnded(any.port) && l.Open(any)) return any.port;
  }
  return 0;
}

void WriteSettings(const fs::path& folder, const std::function<void(AppConfig&)>& fill) {
  fs::create_directories(folder);
  AppConfig config;
  fill(config);
  ASSERT_TRUE(config.SaveFile(wxString::FromUTF8((folder / "pastiq.cfg").string()), ArchiveInfo(APP_VERSION_CODE, 1)));
}

// A history of "Main", "Search" and "From laptop".
void WriteHistory(const fs::path& folder) {
  pq::History history;
  history.CreateDefaultLists();
  auto* inbox = new pq::RecordList;
  inbox->name = "From laptop";
  history.InsertRecordList(inbox, 2);
  history.Save(wxString::FromUTF8((folder / "pastiq_history").string()), ArchiveInfo(APP_VERSION_CODE, 1));
}

// Its session-end handlers are the last thing of its start-up.
bool WaitUntilRunning(ChildProcess& program) {
  return WaitUntil(
             [&] {
               return (CatchesSignal(program.pid(), SIGTERM) && CatchesSignal(program.pid(), SIGHUP) &&
                       CatchesSignal(program.pid(), SIGINT)) ||
                      !program.running();
             },
             20s) &&
         program.running();
}

TEST(TwoPrograms, ARecordCapturedByOneIsSentToTheOtherAndFiledInItsList) {
  x11test::XServer x;
  ASSERT_TRUE(x.Start()) << "Xvfb or openbox did not come up";
  const fs::path laptopData = testing_sandbox::MakeTempDir("laptop");
  const fs::path desktopData = testing_sandbox::MakeTempDir("desktop");
  const int port = FreePort();
  ASSERT_NE(port, 0);

  // The receiving copy: on the simulated desktop, so it records nothing of
  // the display itself; receiving on, the laptop (this machine) trusted.
  WriteSettings(desktopData, [&](AppConfig& c) {
    c.options.Set(OPT_RECEIVE_ENABLED, true);
    c.options.Set(OPT_RECEIVER_PORT, static_cast<unsigned long>(port));
    TrustedClientList trusted;
    trusted.push_back(TrustedClient("127.0.0.1", "", "From laptop"));
    c.SetTrustedClients(trusted);
  });
  WriteHistory(desktopData);
  setenv("PASTIQ_DATA_DIR", desktopData.c_str(), 1);
  setenv("PASTIQ_DESKTOP", "sim", 1);
  // The copy with its message boxes answered: a failed start is told, not
  // waited on.
  ChildProcess desktop = ChildProcess::Run({PASTIQ_UNATTENDED}, x.display());
  ASSERT_TRUE(WaitUntilRunning(desktop)) << desktop.Output();

  // The sending copy, on the X display, sending every capture.
  WriteSettings(laptopData, [](AppConfig& c) { c.options.Set(OPT_AUTO_SEND, true); });
  setenv("PASTIQ_DATA_DIR", laptopData.c_str(), 1);
  unsetenv("PASTIQ_DESKTOP");
  setenv("PASTIQ_TEST_AUTO_SEND", ("127.0.0.1:" + std::to_string(port)).c_str(), 1);
  ChildProcess laptop = ChildProcess::Run({PASTIQ_UNATTENDED}, x.display());
  unsetenv("PASTIQ_TEST_AUTO_SEND");
  unsetenv("PASTIQ_DATA_DIR");
  ASSERT_TRUE(WaitUntilRunning(laptop)) << laptop.Output();
  // Nothing is sent before the host is there.
  ASSERT_TRUE(WaitUntil([&] { return laptop.Output().find("automatic sending to 127.0.0.1:") != std::string::npos; }, 20s))
      << laptop.Output();

  const std::string text = "sent from the laptop";
  ChildProcess xclip = ChildProcess::Run(
      {kXclip, "-quiet", "-selection", "clipboard", "-t", "UTF8_STRING", "-i"}, x.display(), &text);
  ASSERT_GT(xclip.pid(), 0);
  EXPECT_TRUE(WaitUntil([&] { return TransferEnded(port); }, 30s)) << "no transfer to the desktop ended";

  ASSERT_EQ(kill(desktop.pid(), SIGTERM), 0);
  ASSERT_EQ(kill(laptop.pid(), SIGTERM), 0);
  const int desktopStatus = desktop.Wait(20000);
  const int laptopStatus = laptop.Wait(20000);
  xclip.Stop();
  ASSERT_TRUE(WIFEXITED(desktopStatus) && WEXITSTATUS(desktopStatus) == 0) << desktop.Output();
  ASSERT_TRUE(WIFEXITED(laptopStatus) && WEXITSTATUS(laptopStatus) == 0) << laptop.Output();

  pq::History received;
  ASSERT_NO_THROW(received.Load(wxString::FromUTF8((desktopData / "pastiq_history").string())));
  pq::RecordList* inbox = received.FindRecordList("From laptop");
  ASSERT_NE(inbox, nullptr);
  ASSERT_EQ(inbox->GetCount(), 1u);
  EXPECT_EQ(inbox->GetRecord(0)->text, text);
  EXPECT_EQ(inbox->GetRecord(0)->application, kXclip) << "the capture's source travels with it";
  EXPECT_EQ(received.GetMainList()->GetCount(), 0u) << "the receiving copy recorded something itself";

  // The sender kept its capture as well.
  pq::History sent;
  ASSERT_NO_THROW(sent.Load(wxString::FromUTF8((laptopData / "pastiq_history").string())));
  ASSERT_GE(sent.GetMainList()->GetCount(), 1u);
  EXPECT_EQ(sent.GetMainList()->GetRecord(0)->text, text);
}

}  // namespace
