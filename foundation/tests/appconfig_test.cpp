// The settings record: defaults, the settings file, hosts, trusted clients,
// the data folder and the run-at-login entry.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>
#include <unistd.h>

#include <wx/init.h>
#include <wx/mstream.h>

#include "appconfig.h"
#include "platform/registry.h"
#include "options.h"
#include "sandbox.h"
#include "test_util.h"

namespace fs = std::filesystem;
using namespace foundation_test;

namespace {

class Config : public ::testing::Test {
 protected:
  void SetUp() override {
    AppConfig::SetDisplayWidthSource([] { return 1024; });
    data_ = testing_sandbox::MakeTempDir("data") + "/pastiq";
    setenv("PASTIQ_DATA_DIR", data_.c_str(), 1);
    config_ = std::make_unique<AppConfig>();
    SetAppConfig(config_.get());
  }
  void TearDown() override {
    SetAppConfig(nullptr);
    AppConfig::SetDisplayWidthSource(nullptr);
    TrustedClient::SetResolver(nullptr);
    unsetenv("PASTIQ_DATA_DIR");
  }
  std::string Text(int id) const {
    auto it = config_->options.map.find(id);
    return it == config_->options.map.end() ? std::string("<absent>") : it->second.text;
  }
  void ExpectDefaults(const AppConfig& c) {
    AppConfig fresh;
    ASSERT_EQ(c.options.map.size(), fresh.options.map.size());
    for (const auto& e : fresh.options.map) EXPECT_EQ(c.options.map.at(e.first).text, e.second.text) << e.first;
    EXPECT_TRUE(c.firstRun);
    EXPECT_TRUE(c.reservedText1.empty() && c.reservedText2.empty() && c.reservedText3.empty());
    EXPECT_EQ(c.reservedNumber, 0u);
    EXPECT_FALSE(c.reservedFlag);
    EXPECT_EQ(c.configVersion, APP_VERSION_CODE);
    TrustedClientList clients;
    c.GetTrustedClients(clients);
    EXPECT_TRUE(clients.empty());
    EXPECT_TRUE(c.sendToHosts.empty());
    EXPECT_TRUE(c.autoSendHosts.empty());
  }
  // A record with something in every archived member.
  void Fill(AppConfig& c) {
    c.options.Set(OPT_RECEIVER_PORT, 5000);
    c.options.Set(OPT_MULTIPASTE_TEXT, wxString(L"\u2014 next \u2014"));
    c.options.Set(OPT_AUTO_SEND, true);
    c.reservedText1 = "one";
    c.reservedText2 = "two words";
    c.reservedText3 = "";
    c.reservedNumber = 77;
    TrustedClientList clients;
    clients.push_back(TrustedClient("office-pc", "", "Main"));
    clients.push_back(TrustedClient("10.0.0.7", L"j\u00fcrgen", "From Laptop"));
    c.SetTrustedClients(clients);
    c.AddHost("laptop", 45689);
    c.AddHost("192.168.1.20", 4000);
    c.autoSendHosts.push_back(NetworkAddress("laptop", 45689));
    c.reservedFlag = true;
  }

  std::string data_;
  std::unique_ptr<AppConfig> config_;
};

TEST_F(Config, FreshRecordHoldsEveryDefault) {
  const std::map<int, std::string> expected = {
      {0, "1"},        {1, "0"},           {2, "0"},           {3, "V"},       {4, "1"},    {5, "0"},
      {6, "0"},        {7, "869 5 150 300"}, {8, "150 300"},   {9, "150 300"}, {10, "-1 -1 -1 -1"},
      {11, "0"},       {12, "0"},          {13, "0"},          {14, "0"},      {15, "1"},   {17, "0"},
      {18, "1"},       {20, "0"},          {21, "1"},          {22, "45689"},  {23, "1"},   {24, "10000"},
      {25, "1"},       {26, "1"},          {27, "0"},          {29, "3000003"}, {32, "1"},  {1001, "1"},
      {1002, "1"},     {1003, "1"},        {1004, "1"},        {1005, "0"},    {1006, "0"}, {1007, "0"},
      {1008, "1"},
  };
  EXPECT_EQ(config_->options.map.size(), expected.size());
  for (const auto& e : expected) EXPECT_EQ(Text(e.first), e.second) << "id " << e.first;

  // Options without a settings default read as their readers' defaults.
  for (int id : {OPT_AUTO_SEND, OPT_MULTIPASTE_INSERT, OPT_ALLOW_DUPLICATES, 16, 28, OPT_RECORD_FORMAT_BASE})
    EXPECT_FALSE(OptionValue<bool>(id, false)) << id;
  for (int n = 0; n <= 8; ++n) EXPECT_FALSE(OptionValue<bool>(OPT_PASTE_EXCLUDE_BASE + n, false)) << n;
  int height = 0;
  EXPECT_FALSE(GetOption(OPT_FLOATING_HEIGHT, height, 123));
  EXPECT_EQ(height, 123);
  wxString text;
  EXPECT_FALSE(GetOption<wxString>(text, wxString(", ")));
  EXPECT_EQ(text, ", ");

  int port = 0;
  char key = 0;
  EXPECT_TRUE(GetOption(OPT_RECEIVER_PORT, port, 0));
  EXPECT_EQ(port, 45689);
  EXPECT_TRUE(GetOption<char>(key, 'X'));
  EXPECT_EQ(key, 'V');
  EXPECT_EQ(OptionValue<int>(OPT_REJOIN_INTERVAL, 0), 10000);
  EXPECT_EQ(OptionValue<int>(OPT_NOTIFIED_VERSION, 0), 3000003);
  EXPECT_EQ(OptionValue<wxRect>(OPT_FLOATING_RECT, wxRect()), wxRect(869, 5, 150, 300));
  EXPECT_EQ(OptionValue<wxSize>(OPT_POPUP_SIZE, wxSize()), wxSize(150, 300));
  EXPECT_TRUE(OptionValue<bool>(OPT_RECORDING, false));
}

// The settings file and other programs' files name options by number: each
// name keeps its number, whatever default it shares with another.
TEST(OptionIds, EachNameHasItsNumber) {
#define PIN(name, id) {#name, name, id}
  const struct {
    const char* name;
    int actual;
    int expected;
  } pins[] = {
      PIN(OPT_POPUP_SHORTCUT, 0),       PIN(OPT_POPUP_SHORTCUT_CTRL, 1), PIN(OPT_POPUP_SHORTCUT_ALT, 2),
      PIN(OPT_SHORTCUT_KEY, 3),         PIN(OPT_FLOATING_KEYS, 4),       PIN(OPT_FLOATING_KEYS_CTRL, 5),
      PIN(OPT_FLOATING_KEYS_ALT, 6),    PIN(OPT_FLOATING_RECT, 7),       PIN(OPT_POPUP_SIZE, 8),
      PIN(OPT_MENU_WINDOW_SIZE, 9),     PIN(OPT_MAIN_FRAME_RECT, 10),    PIN(OPT_FLOATING_TAB, 11),
      PIN(OPT_POPUP_TAB, 12),           PIN(OPT_MENU_WINDOW_TAB, 13),    PIN(OPT_MAIN_FRAME_TAB, 14),
      PIN(OPT_FLOATING_SHOWN, 15),      PIN(OPT_RECEIVE_ENABLED, 17),    PIN(OPT_RECORDING, 18),
      PIN(OPT_AUTO_SEND, 19),           PIN(OPT_CHECK_VERSION, 20),      PIN(OPT_AUTO_START, 21),
      PIN(OPT_RECEIVER_PORT, 22),       PIN(OPT_REJOIN_VIEWER, 23),      PIN(OPT_REJOIN_INTERVAL, 24),
      PIN(OPT_POPUP_SHORTCUT_WIN, 25),  PIN(OPT_FLOATING_KEYS_WIN, 26),  PIN(OPT_NOTIFIED_VERSION, 29),
      PIN(OPT_MULTIPASTE_INSERT, 30),   PIN(OPT_MULTIPASTE_TEXT, 31),    PIN(OPT_MULTIPASTE_AT_ONCE, 32),
      PIN(OPT_FLOATING_HEIGHT, 33),     PIN(OPT_ALLOW_DUPLICATES, 34),   PIN(OPT_RECORD_FORMAT_BASE, 1000),
      PIN(OPT_PASTE_EXCLUDE_BASE, 2000),
  };
#undef PIN
  for (const auto& p : pins) EXPECT_EQ(p.actual, p.expected) << p.name;
}

TEST_F(Config, FloatingRectangleFollowsTheDisplayWidth) {
  AppConfig::SetDisplayWidthSource([] { return 1920; });
  AppConfig c;
  EXPECT_EQ(c.options.map.at(OPT_FLOATING_RECT).text, "1765 5 150 300");
}

TEST_F(Config, AConsoleProgramWithoutAWidthSourceTakesTheFallback) {
  // The toolkit's instance is then a console application, not a GUI one.
  wxInitializer toolkit;
  ASSERT_TRUE(toolkit.IsOk());
  AppConfig::SetDisplayWidthSource(nullptr);
  AppConfig c;
  EXPECT_EQ(c.options.map.at(OPT_FLOATING_RECT).text, "869 5 150 300");
}

struct Counter : cmn::option<int>::observer {
  std::vector<int> ids;
  void OnOptionChanged(const int& id) override { ids.push_back(id); }
};

TEST_F(Config, OptionAccessGoesToTheInstalledRecord) {
  SetOption(OPT_RECORDING, false);
  EXPECT_EQ(Text(OPT_RECORDING), "0");
  SetOption(OPT_FLOATING_TAB, 3);
  EXPECT_EQ(OptionValue<int>(OPT_FLOATING_TAB, 0), 3);
  SetOption<wxString>(wxString("ab"));
  EXPECT_EQ(Text(OPT_MULTIPASTE_TEXT), std::string("ab\0", 3));
  wxString text;
  EXPECT_TRUE(GetOption<wxString>(text, wxString("def")));
  EXPECT_EQ(text, "ab");
  SetOption<wxString>(wxString());
  EXPECT_FALSE(GetOption<wxString>(text, wxString("def")));
  EXPECT_EQ(text, "def");

  // A text that is not a bool reads as not found.
  config_->options.map[OPT_RECORDING].text = "yes";
  bool b = false;
  EXPECT_FALSE(GetOption(OPT_RECORDING, b, true));
  EXPECT_TRUE(b);

  // Without a record every reader gets its default and writes go nowhere.
  SetAppConfig(nullptr);
  EXPECT_EQ(FindAppConfig(), nullptr);
  EXPECT_TRUE(OptionValue<bool>(OPT_RECORDING, true));
  SetOption(OPT_RECORDING, false);
  EXPECT_FALSE(GetOption(OPT_RECORDING, b, true));
  AddOptionObserver(OPT_RECORDING, nullptr);
  RemoveOptionObserver(OPT_RECORDING, nullptr);
  EXPECT_THROW(GetAppConfig(), std::logic_error);
  SetAppConfig(config_.get());
  EXPECT_EQ(config_->options.map[OPT_RECORDING].text, "yes") << "the write without a record reached it";
}

TEST_F(Config, ObserverEntryReadsAsNotFoundAndTheFirstSetNotifies) {
  Counter c;
  config_->AddOptionObserver(OPT_AUTO_SEND, &c);
  config_->AddOptionObserver(OPT_MULTIPASTE_TEXT, &c);
  config_->AddOptionObserver(OPT_FLOATING_HEIGHT, &c);
  EXPECT_FALSE(OptionValue<bool>(OPT_AUTO_SEND, false));
  int h = 0;
  EXPECT_FALSE(GetOption(OPT_FLOATING_HEIGHT, h, 7));
  SetOption(OPT_AUTO_SEND, false);      // equal to what a reader got: still a change
  SetOption<wxString>(wxString());      // the empty text too
  SetOption(OPT_FLOATING_HEIGHT, 0);
  SetOption(OPT_AUTO_SEND, false);      // now unchanged
  EXPECT_EQ(c.ids, (std::vector<int>{OPT_AUTO_SEND, OPT_MULTIPASTE_TEXT, OPT_FLOATING_HEIGHT}));
}

// ---------------------------------------------------------------- file

TEST_F(Config, LoadWithoutAFileKeepsTheDefaultsAndCreatesTheFolder) {
  const std::string nested = testing_sandbox::MakeTempDir("nest") + "/a/b/pastiq";
  setenv("PASTIQ_DATA_DIR", nested.c_str(), 1);
  config_->options.Set(OPT_RECORDING, false);
  EXPECT_TRUE(config_->Load());
  EXPECT_TRUE(fs::is_directory(nested));
  ExpectDefaults(*config_);
}

TEST_F(Config, SaveAndLoadRoundTripsTheArchivedMembers) {
  Fill(*config_);
  ASSERT_TRUE(fs::create_directories(data_));
  ASSERT_TRUE(config_->SaveFile(AppConfig::GetFilePath(), ArchiveInfo(APP_VERSION_CODE, 1)));
  EXPECT_EQ(ReadBytes(data_ + "/pastiq.cfg").substr(0, 4), "\xA0\xFF\xE7\x4D");

  AppConfig next;  // the next start
  ASSERT_TRUE(next.Load());
  EXPECT_FALSE(next.firstRun);
  EXPECT_EQ(next.options.map.size(), config_->options.map.size());
  for (const auto& e : config_->options.map) EXPECT_EQ(next.options.map.at(e.first).text, e.second.text);
  EXPECT_EQ(next.reservedText1, "one");
  EXPECT_EQ(next.reservedText2, "two words");
  EXPECT_EQ(next.reservedNumber, 77u);
  EXPECT_TRUE(next.reservedFlag);
  TrustedClientList clients;
  next.GetTrustedClients(clients);
  ASSERT_EQ(clients.size(), 2u);
  EXPECT_EQ(clients[1].GetUser(), wxString(L"j\u00fcrgen"));
  EXPECT_EQ(clients[1].GetList(), "From Laptop");
  ASSERT_NE(next.GetHost(1), nullptr);
  EXPECT_EQ(next.GetHost(1)->host, "192.168.1.20");
  EXPECT_EQ(next.GetHost(1)->port, 4000);
  EXPECT_EQ(next.GetHost(2), nullptr);
  EXPECT_TRUE(next.autoSendHosts.empty()) << "automatic-send hosts are not kept across a restart";
}

TEST_F(Config, UnreadableFilesLoadAsExactlyTheDefaults) {
  ASSERT_TRUE(fs::create_directories(data_));
  const std::string path = data_ + "/pastiq.cfg";
  Fill(*config_);
  ASSERT_TRUE(config_->SaveFile(path, ArchiveInfo(APP_VERSION_CODE, 1)));
  const std::string good = ReadBytes(path);
  std::string text = Inflate(good.substr(4));
  // Cut the archive before its last member: everything before it has loaded
  // by the time the load fails.
  const std::string cut = text.substr(0, text.find_last_not_of(" \n01") + 1);
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"history file magic", MagicBytes(cmn::kHistoryFileMagic) + good.substr(4)},
      {"junk after the magic", good.substr(0, 4) + "junk junk junk"},
      {"truncated archive", good.substr(0, 4) + Deflate(cut, false)},
      {"three bytes", good.substr(0, 3)},
  };
  for (const auto& c : cases) {
    WriteBytes(path, c.bytes);
    AppConfig loaded;
    Fill(loaded);
    EXPECT_TRUE(loaded.Load()) << c.what;
    ExpectDefaults(loaded);
  }
}

// The defaults replace what could not be read, but the next save keeps the
// unread file (trusted clients and remembered hosts may be in it).
TEST_F(Config, AnUnreadableFileIsKeptAsABakBeforeTheSaveReplacesIt) {
  ASSERT_TRUE(fs::create_directories(data_));
  const std::string path = data_ + "/pastiq.cfg";
  const std::string bak = path + ".bak";
  Fill(*config_);
  ASSERT_TRUE(config_->SaveFile(path, ArchiveInfo(APP_VERSION_CODE, 1)));
  const std::string good = ReadBytes(path);
  config_->reservedText1.assign(AppConfig::kReadBudget + 1, 'x');  // compresses to little
  ASSERT_TRUE(config_->SaveFile(path, ArchiveInfo(APP_VERSION_CODE, 1)));
  const std::string overBudget = ReadBytes(path);
  ASSERT_LT(overBudget.size(), 200 * 1024u);
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"junk after the magic", good.substr(0, 4) + "junk junk junk"},
      {"cut short", good.substr(0, good.size() / 2)},
      {"over the read budget", overBudget},
  };
  for (const auto& c : cases) {
    fs::remove(bak);
    WriteBytes(path, c.bytes);
    AppConfig loaded;
    ASSERT_TRUE(loaded.Load()) << c.what;
    ExpectDefaults(loaded);
    EXPECT_FALSE(fs::exists(bak)) << c.what << ": kept only when replaced";
    ASSERT_TRUE(loaded.SaveFile(path, ArchiveInfo(APP_VERSION_CODE, 1))) << c.what;
    EXPECT_EQ(ReadBytes(bak), c.bytes) << c.what;
    AppConfig next;
    next.Load();
    EXPECT_FALSE(next.firstRun) << c.what << ": the saved file reads";
    ASSERT_TRUE(loaded.SaveFile(path, ArchiveInfo(APP_VERSION_CODE, 1)));
    EXPECT_EQ(ReadBytes(bak), c.bytes) << c.what << ": a later save keeps the first copy";
  }

  fs::remove(bak);
  WriteBytes(path, good);
  AppConfig readable;
  ASSERT_TRUE(readable.Load());
  ASSERT_TRUE(readable.SaveFile(path, ArchiveInfo(APP_VERSION_CODE, 1)));
  EXPECT_FALSE(fs::exists(bak)) << "a file that was read needs no copy";
}

TEST_F(Config, AnIdMissingFromTheFileKeepsItsDefault) {
  ASSERT_TRUE(fs::create_directories(data_));
  config_->options.Set(OPT_REJOIN_INTERVAL, 5000);
  config_->options.map.erase(OPT_RECEIVER_PORT);  // a file from before the option existed
  ASSERT_TRUE(config_->SaveFile(AppConfig::GetFilePath(), ArchiveInfo(APP_VERSION_CODE, 1)));
  AppConfig next;
  ASSERT_TRUE(next.Load());
  EXPECT_FALSE(next.firstRun);
  EXPECT_EQ(next.options.map.at(OPT_RECEIVER_PORT).text, "45689");
  EXPECT_EQ(next.options.map.at(OPT_REJOIN_INTERVAL).text, "5000");
}

TEST_F(Config, AFolderThatCannotBeCreatedFailsTheLoadAndKeepsTheRecord) {
  const std::string blocker = testing_sandbox::MakeTempDir("blocked") + "/file";
  WriteBytes(blocker, "x");
  setenv("PASTIQ_DATA_DIR", (blocker + "/pastiq").c_str(), 1);
  config_->options.Set(OPT_RECORDING, false);
  EXPECT_FALSE(config_->Load());
  EXPECT_EQ(Text(OPT_RECORDING), "0");
}

TEST_F(Config, GoldenSettingsArchiveText) {
  Fill(*config_);
  ASSERT_TRUE(fs::create_directories(data_));
  ASSERT_TRUE(config_->SaveFile(AppConfig::GetFilePath(), ArchiveInfo(APP_VERSION_CODE, 1)));
  const std::string text = Inflate(ReadBytes(data_ + "/pastiq.cfg").substr(4));
  // Any change of member order, class version or text form shows here.
  using namespace std::string_literals;
  // header; ArchiveInfo; AppConfig, store and map headers; 38 (id, text)
  // pairs; the three strings; the number; the clients; the send-to hosts;
  // the version; the flag.
  const std::string golden =
      "22 serialization::archive 18 0 0 3000003 1 0 0 0 0 0 0 38 0 0 0 0 0 0 1 1 1 1 0 2 1 0 3 1 V 4 1 1 5 1 0 "
      "6 1 0 7 13 869 5 150 300 8 7 150 300 9 7 150 300 10 11 -1 -1 -1 -1 11 1 0 12 1 0 13 1 0 14 1 0 15 1 1 "
      "17 1 0 18 1 1 19 1 1 20 1 0 21 1 1 22 4 5000 23 1 1 24 5 10000 25 1 1 26 1 1 27 1 0 29 7 3000003 "
      "31 13 \xE2\x80\x94 next \xE2\x80\x94\0 32 1 1 1001 1 1 1002 1 1 1003 1 1 1004 1 1 1005 1 0 1006 1 0 "
      "1007 1 0 1008 1 1 3 one 9 two words 0  77 0 0 2 0 0 0 9 office-pc 0  4 Main 8 10.0.0.7 7 j\xC3\xBCrgen "
      "11 From Laptop 0 0 2 0 0 0 6 laptop 45689 12 192.168.1.20 4000 3000003 1\n"s;
  EXPECT_EQ(text, golden);
}

// ---------------------------------------------------------------- hosts

TEST_F(Config, AddHostKeepsOneEntryPerHostAndPortUpToAHundred) {
  const struct {
    const char* host;
    int port;
    size_t countAfter;
  } steps[] = {
      {"laptop", 45689, 1}, {"laptop", 45689, 1}, {"laptop", 4000, 2}, {"Laptop", 45689, 3}, {"10.0.0.1", 45689, 4},
  };
  for (const auto& s : steps) {
    config_->AddHost(s.host, s.port);
    EXPECT_EQ(config_->sendToHosts.size(), s.countAfter) << s.host << ":" << s.port;
  }
  for (int i = 0; config_->sendToHosts.size() < 100; ++i) config_->AddHost(wxString::Format("h%d", i), 1);
  config_->AddHost("one too many", 1);
  EXPECT_EQ(config_->sendToHosts.size(), 100u);
  EXPECT_EQ(config_->GetHost(99)->host, "h95");
  EXPECT_EQ(config_->GetHost(100), nullptr);
}

class FakeResolver : public Config {
 protected:
  void SetUp() override {
    Config::SetUp();
    TrustedClient::SetResolver([](const wxString& name, wxString& address) {
      static const std::map<wxString, wxString> names = {
          {"office-pc", "10.0.0.5"}, {"10.0.0.5", "10.0.0.5"}, {"OFFICE-PC", "10.0.0.5"}, {"10.0.0.6", "10.0.0.6"}};
      auto it = names.find(name);
      if (it == names.end()) return false;
      address = it->second;
      return true;
    });
  }
};

TEST_F(FakeResolver, IsHostMatchesResolvedAddressesThenTheUser) {
  const struct {
    const char* clientHost;
    const char* clientUser;
    const char* peer;
    const char* user;
    bool matches;
  } cases[] = {
      {"office-pc", "", "10.0.0.5", "anyone", true},    // a name that resolves to the peer
      {"office-pc", "", "10.0.0.6", "anyone", false},   // another address
      {"OFFICE-PC", "", "10.0.0.5", "x", true},         // resolved: case does not matter
      {"office-pc", "ann", "10.0.0.5", "ann", true},
      {"office-pc", "ann", "10.0.0.5", "Ann", false},   // user names are exact
      {"office-pc", "ann", "10.0.0.5", "", false},
      {"lost-host", "", "lost-host", "x", true},        // neither resolves: texts compared
      {"lost-host", "", "LOST-HOST", "x", false},
      {"lost-host", "", "10.0.0.5", "x", false},
      {"", "", "", "x", false},                         // an empty host matches nothing
      {"", "", "10.0.0.5", "x", false},
  };
  for (const auto& c : cases) {
    const TrustedClient client(c.clientHost, c.clientUser, "Main");
    EXPECT_EQ(client.IsHost(c.peer, c.user), c.matches)
        << c.clientHost << "/" << c.clientUser << " vs " << c.peer << "/" << c.user;
  }
}

TEST_F(FakeResolver, FindByHostTakesTheFirstMatchInOrder) {
  TrustedClientList list;
  list.push_back(TrustedClient("10.0.0.6", "", "Other"));
  list.push_back(TrustedClient("office-pc", "bob", "Bob's"));
  list.push_back(TrustedClient("10.0.0.5", "", "Anyone"));
  TrustedClient out("unchanged", "", "");
  EXPECT_TRUE(list.FindByHost("10.0.0.5", "bob", out));
  EXPECT_EQ(out.GetList(), "Bob's");
  EXPECT_TRUE(list.FindByHost("10.0.0.5", "eve", out));
  EXPECT_EQ(out.GetList(), "Anyone");
  TrustedClient none("unchanged", "", "");
  EXPECT_FALSE(list.FindByHost("10.9.9.9", "bob", none));
  EXPECT_EQ(none.host, "unchanged");
  EXPECT_NE(list.GetAt(2), nullptr);
  EXPECT_EQ(list.GetAt(3), nullptr);
}

TEST_F(Config, ResolvedNamesAreKeptForAWhile) {
  std::atomic<int> asked{0};
  const auto counting = [&](const wxString& name, wxString& address) {
    ++asked;
    if (name != "laptop" && name != "10.0.0.7") return false;
    address = "10.0.0.7";
    return true;
  };
  const TrustedClient byName("laptop", "", "Main");
  const TrustedClient unknown("gone", "", "Main");
  TrustedClient::SetResolver(counting);
  EXPECT_TRUE(byName.IsHost("10.0.0.7", "x"));
  EXPECT_TRUE(byName.IsHost("10.0.0.7", "x"));
  EXPECT_FALSE(unknown.IsHost("10.0.0.7", "x"));
  EXPECT_FALSE(unknown.IsHost("10.0.0.7", "x"));
  EXPECT_EQ(asked, 3) << "laptop, the peer and gone, once each";
  // With no lifetime every test asks again.
  TrustedClient::SetResolver(counting, std::chrono::milliseconds(0));
  asked = 0;
  EXPECT_TRUE(byName.IsHost("10.0.0.7", "x"));
  EXPECT_TRUE(byName.IsHost("10.0.0.7", "x"));
  EXPECT_EQ(asked, 4);
}

TEST_F(Config, ToolkitResolverComparesDottedAddresses) {
  const TrustedClient client("127.0.0.1", "", "Main");
  EXPECT_TRUE(client.IsHost("127.0.0.1", "x"));
  EXPECT_FALSE(client.IsHost("127.0.0.2", "x"));
}

TEST_F(Config, TrustedClientsAreCopiedUnderTheLock) {
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!stop) {
      TrustedClientList copy;
      config_->GetTrustedClients(copy);
      if (!copy.empty() && copy.size() != static_cast<size_t>(std::stoi(copy[0].list))) ++torn;
    }
  });
  for (int round = 1; round <= 300; ++round) {
    TrustedClientList list;
    for (int i = 0; i < round % 7 + 1; ++i) list.push_back(TrustedClient("h", "", std::to_string(round % 7 + 1)));
    config_->SetTrustedClients(list);
  }
  stop = true;
  reader.join();
  EXPECT_EQ(torn, 0);
}

// ---------------------------------------------------------------- paths

TEST_F(Config, DataFolderComesFromTheEnvironment) {
  const char* savedXdg = std::getenv("XDG_DATA_HOME");
  const std::string xdg = savedXdg ? savedXdg : "";
  const char* home = std::getenv("HOME");
  EXPECT_EQ(AppConfig::GetFolder(), wxString(data_));
  EXPECT_EQ(AppConfig::GetFilePath(), wxString(data_ + "/pastiq.cfg"));
  unsetenv("PASTIQ_DATA_DIR");
  setenv("XDG_DATA_HOME", "/srv/data", 1);
  EXPECT_EQ(AppConfig::GetFolder(), "/srv/data/pastiq");
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  EXPECT_EQ(AppConfig::GetFolder(), wxString(std::string(home) + "/.local/share/pastiq"));
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(AppConfig::GetFolder(), wxString(std::string(home) + "/.local/share/pastiq"));
  setenv("XDG_DATA_HOME", xdg.c_str(), 1);
}

TEST_F(Config, ProgramFolderIsThatOfTheRunningFile) {
  EXPECT_EQ(AppConfig::GetProgramFolder(), wxString(fs::read_symlink("/proc/self/exe").parent_path().string()));
}

// ---------------------------------------------------------------- autostart

TEST_F(Config, LoadWritesTheRunAtLoginEntry) {
  const std::string configHome = std::getenv("XDG_CONFIG_HOME");
  const fs::path entry = fs::path(configHome) / "autostart" / "Pastiq.desktop";
  fs::remove(entry);
  config_->options.Set(OPT_AUTO_START, false);  // written whatever the option says
  ASSERT_TRUE(config_->Load());
  const std::string exe = fs::read_symlink("/proc/self/exe").string();
  ASSERT_EQ(exe.find_first_of(" \"'\\$`%"), std::string::npos) << "the test binary's path needs no quoting";
  EXPECT_EQ(ReadBytes(entry.string()),
            "[Desktop Entry]\nType=Application\nName=Pastiq\nExec=" + exe + " -startup\n");
}

TEST_F(Config, AutoStartCommandQuotesThePath) {
  const struct {
    std::wstring path, command;
  } cases[] = {
      {L"/usr/bin/pastiq", L"\"/usr/bin/pastiq\" -startup"},
      {L"/opt/my apps/pastiq", L"\"/opt/my apps/pastiq\" -startup"},
      {L"/tmp/a$b`c\\d%e", L"\"/tmp/a$b`c\\d%e\" -startup"},
      {L"/tmp/say \"hi\"", L"\"/tmp/say \\\"hi\\\"\" -startup"},
      {L"/tmp/x\\\"y", L"\"/tmp/x\\\\\\\"y\" -startup"},
      {L"/tmp/ends\\", L"\"/tmp/ends\\\\\" -startup"},
  };
  for (const auto& c : cases) EXPECT_EQ(AppConfig::AutoStartCommand(c.path), c.command);

  // And the entry made from an awkward one starts that program.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                          KEY_READ | KEY_WRITE, &key),
            ERROR_SUCCESS);
  const std::wstring data = AppConfig::AutoStartCommand(L"/tmp/say \"hi\" $HOME\\%/pastiq");
  ASSERT_EQ(RegSetValueExW(key, L"Pastiq", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(WCHAR))),
            ERROR_SUCCESS);
  RegCloseKey(key);
  const std::string entry =
      ReadBytes((fs::path(std::getenv("XDG_CONFIG_HOME")) / "autostart" / "Pastiq.desktop").string());
  EXPECT_NE(entry.find("\nExec=\"/tmp/say \\\\\"hi\\\\\" \\\\$HOME\\\\\\\\%%/pastiq\" -startup\n"), std::string::npos)
      << entry;
}

}  // namespace
