#include "cmn/versionchecker.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <wx/app.h>
#include <wx/init.h>

#include "appnotify.h"
#include "appversion.h"
#include "child_process.h"

using namespace std::chrono_literals;
using cmn::wx::VersionChecker;

namespace {
bool WaitUntil(const std::function<bool()>& condition) {
  return testing_process::WaitUntil(condition, std::chrono::seconds(20));
}

// A web server on loopback that answers every request with one response,
// or holds the connection open until told to answer.
class LoopbackServer {
 public:
  LoopbackServer() {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listener, 8);
    socklen_t len = sizeof addr;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    thread = std::thread([this] { Run(); });
  }
  ~LoopbackServer() {
    {
      std::lock_guard<std::mutex> guard(lock);
      stopping = true;
      stalled = false;
    }
    changed.notify_all();
    thread.join();
    ::close(listener);
  }

  std::string Url(const std::string& path = "/files/pastiq/version.txt") const {
    return "http://127.0.0.1:" + std::to_string(port) + path;
  }
  void Answer(const std::string& response) {
    {
      std::lock_guard<std::mutex> guard(lock);
      this->response = response;
      stalled = false;
    }
    changed.notify_all();
  }
  void AnswerFile(const std::string& body) {
    Answer("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body);
  }
  // Holds every connection, after reading its request, until Answer.
  void Stall() {
    std::lock_guard<std::mutex> guard(lock);
    stalled = true;
  }
  // Requests read so far, and connections the client closed after its answer.
  int Requests() {
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<int>(requests.size());
  }
  std::string Request(int i) {
    std::lock_guard<std::mutex> guard(lock);
    return requests.at(i);
  }

 private:
  void Run() {
    for (;;) {
      {
        std::lock_guard<std::mutex> guard(lock);
        if (stopping) return;
      }
      pollfd p{listener, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      std::string request;
      char buf[1024];
      while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd c{client, POLLIN, 0};
        if (::poll(&c, 1, 5000) <= 0) break;
        const ssize_t n = ::recv(client, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<std::size_t>(n));
      }
      std::string answer;
      {
        std::unique_lock<std::mutex> guard(lock);
        requests.push_back(request);
        changed.wait(guard, [this] { return !stalled; });
        answer = response;
      }
      for (std::size_t sent = 0; sent < answer.size();) {
        const ssize_t n = ::send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
      }
      ::close(client);
    }
  }

  int listener = -1;
  int port = 0;
  std::mutex lock;
  std::condition_variable changed;
  std::string response = "HTTP/1.0 404 Not Found\r\n\r\n";
  std::vector<std::string> requests;
  bool stalled = false;
  bool stopping = false;
  std::thread thread;
};

// Receives the notices as the taskbar icon would.
struct NoticeSink : wxEvtHandler {
  struct Notice {
    int id;
    int version;
    wxString address;
  };
  std::vector<Notice> notices;
  NoticeSink() {
    Bind(EVT_APP_NOTIFY, [this](wxCommandEvent& e) { notices.push_back({e.GetId(), e.GetInt(), e.GetString()}); });
  }
  // Handles what was queued, as the main loop would.
  void Drain() { wxTheApp->ProcessPendingEvents(); }
};

std::string VersionFile(const std::string& version, const std::string& address, const std::string& group = "pastiq") {
  std::string text = "[" + group + "]\n";
  if (!version.empty()) text += "version=" + version + "\n";
  if (!address.empty()) text += "download_url=" + address + "\n";
  return text;
}

struct VersionCheck : ::testing::Test {
  // Notices are queued through the toolkit's application object.
  wxInitializer toolkit;
  LoopbackServer server;
  NoticeSink sink;

  // Runs one check against the server to its end and hands back what the
  // sink received.
  std::vector<NoticeSink::Notice> Check(const std::string& url) {
    VersionChecker checker(&sink, url, "pastiq");
    EXPECT_TRUE(checker.Start());
    EXPECT_TRUE(WaitUntil([&] { return checker.RunningChecks() == 0; }));
    sink.Drain();
    return sink.notices;
  }
};

TEST_F(VersionCheck, PostsOnlyANewerVersionWithAWebAddress) {
  const std::string next = std::to_string(APP_VERSION_CODE + 1);
  const std::string now = std::to_string(APP_VERSION_CODE);
  const std::string site = "https://example.org/pastiq-3.0.4.tar.gz";
  struct Case {
    const char* what;
    std::string file;
    bool posts;
  } cases[] = {
      {"newer, with an address", VersionFile(next, site), true},
      {"newer, plain http", VersionFile(next, "http://example.org/get"), true},
      {"the same version", VersionFile(now, site), false},
      {"an older version", VersionFile("2999999", site), false},
      {"newer, no address", VersionFile(next, ""), false},
      {"newer, empty address", VersionFile(next, "") + "download_url=\n", false},
      {"no version", VersionFile("", site), false},
      {"a version that is no number", VersionFile("3.0.4", site), false},
      {"a version beyond an int", VersionFile("99999999999", site), false},
      {"the keys in another group", VersionFile(next, site, "other"), false},
      {"the keys outside any group", "version=" + next + "\ndownload_url=" + site + "\n[pastiq]\n", false},
      {"the keys in a subgroup", VersionFile(next, site, "pastiq/sub"), false},
      {"an ftp address", VersionFile(next, "ftp://example.org/get"), false},
      {"a local file", VersionFile(next, "file:///etc/passwd"), false},
      {"a program to run", VersionFile(next, "javascript:alert(1)"), false},
      {"an address with a blank", VersionFile(next, "https://example.org/a b"), false},
      {"junk", "\x01\x02garbage\xff\xfe[[[", false},
      {"no UTF-8", "[pastiq]\nversion=" + next + "\ndownload_url=https://e.org/\xff\n", false},
  };
  for (const Case& c : cases) {
    sink.notices.clear();
    server.AnswerFile(c.file);
    const auto notices = Check(server.Url());
    ASSERT_EQ(notices.size(), c.posts ? 1u : 0u) << c.what;
    if (!c.posts) continue;
    EXPECT_EQ(notices[0].id, ID_NOTIFY_NEW_VERSION) << c.what;
    EXPECT_EQ(notices[0].version, APP_VERSION_CODE + 1) << c.what;
  }
  // The address is passed on as the file holds it.
  sink.notices.clear();
  server.AnswerFile(VersionFile(next, site));
  const auto notices = Check(server.Url());
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].address, site);
  EXPECT_EQ(server.Request(server.Requests() - 1).rfind("GET /files/pastiq/version.txt HTTP/1.0\r\n", 0), 0u);
}

TEST_F(VersionCheck, AFailedFetchPostsNothing) {
  const std::string file = VersionFile(std::to_string(APP_VERSION_CODE + 1), "https://example.org/");
  struct Case {
    const char* what;
    std::string response;
  } cases[] = {
      {"not found", "HTTP/1.0 404 Not Found\r\nContent-Length: " + std::to_string(file.size()) + "\r\n\r\n" + file},
      {"a redirect", "HTTP/1.1 302 Found\r\nLocation: http://elsewhere/\r\n\r\n" + file},
      {"cut short", "HTTP/1.0 200 OK\r\nContent-Length: 500\r\n\r\n" + file},
      {"no headers' end", "HTTP/1.0 200 OK\r\nContent-Length: 5"},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + file},
      {"not HTTP", file},
      {"larger than the cap", "HTTP/1.0 200 OK\r\n\r\n" + file + std::string(VersionChecker::kMaxBytes, ';')},
      {"nothing", ""},
  };
  for (const Case& c : cases) {
    server.Answer(c.response);
    EXPECT_TRUE(Check(server.Url()).empty()) << c.what;
  }
}

TEST_F(VersionCheck, AnAddressThatCannotBeFetchedPostsNothing) {
  // A port nobody listens on: take one and let it go.
  LoopbackServer* gone = new LoopbackServer;
  const std::string closedUrl = gone->Url();
  delete gone;
  for (const std::string& url : {closedUrl, std::string("ftp://127.0.0.1/version.txt"), std::string("http://")})
    EXPECT_TRUE(Check(url).empty()) << url;

  VersionChecker none(&sink, "", "pastiq");
  EXPECT_FALSE(none.Start()) << "an empty address turns the check off";
  EXPECT_EQ(none.RunningChecks(), 0u);
}

TEST_F(VersionCheck, AStalledDownloadEndsAtItsDeadline) {
  server.Stall();
  VersionChecker checker(&sink, server.Url(), "pastiq");
  checker.SetLimits(200ms, VersionChecker::kMaxBytes);
  ASSERT_TRUE(checker.Start());
  EXPECT_TRUE(WaitUntil([&] { return checker.RunningChecks() == 0; }));
  server.AnswerFile(VersionFile(std::to_string(APP_VERSION_CODE + 1), "https://example.org/"));
  sink.Drain();
  EXPECT_TRUE(sink.notices.empty());
}

TEST_F(VersionCheck, DestroyingTheCheckerDuringADownloadReturnsAtOnceAndNothingIsPosted) {
  server.Stall();
  const std::size_t before = VersionChecker::LiveWorkers();
  {
    VersionChecker checker(&sink, server.Url(), "pastiq");
    ASSERT_TRUE(checker.Start());
    ASSERT_TRUE(WaitUntil([&] { return server.Requests() == 1; }));
    EXPECT_EQ(checker.RunningChecks(), 1u);
  }  // Returns while the server still holds the answer back: nothing waited.
  // Now the answer would announce a newer version.
  server.AnswerFile(VersionFile(std::to_string(APP_VERSION_CODE + 1), "https://example.org/"));
  EXPECT_TRUE(WaitUntil([&] { return VersionChecker::LiveWorkers() == before; }));
  sink.Drain();
  EXPECT_TRUE(sink.notices.empty());
}

TEST_F(VersionCheck, NoticesGoToTheHandlerSetLast) {
  const std::string file = VersionFile(std::to_string(APP_VERSION_CODE + 1), "https://example.org/");
  server.AnswerFile(file);
  VersionChecker checker(nullptr, server.Url(), "pastiq");
  ASSERT_TRUE(checker.Start());
  ASSERT_TRUE(WaitUntil([&] { return checker.RunningChecks() == 0; }));
  sink.Drain();
  EXPECT_TRUE(sink.notices.empty()) << "no handler, no notice";

  checker.SetHandler(&sink);
  ASSERT_TRUE(checker.Start());
  ASSERT_TRUE(checker.Start());
  ASSERT_TRUE(WaitUntil([&] { return checker.RunningChecks() == 0; }));
  sink.Drain();
  EXPECT_EQ(sink.notices.size(), 2u);
}
}  // namespace
