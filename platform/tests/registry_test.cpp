// The run-at-login slice of the registry: XDG autostart entries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "sandbox.h"

namespace fs = std::filesystem;

namespace {

const wchar_t kRun[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Reads an Exec value back as a desktop environment does: undo the string
// escapes, split the quoted arguments, then undo %%.
std::vector<std::string> ParseExec(const std::string& value) {
  std::string s;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const char n = value[++i];
      s += n == 's' ? ' ' : n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
    } else {
      s += value[i];
    }
  }
  std::vector<std::string> args;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    if (i >= s.size()) break;
    std::string arg;
    if (s[i] == '"') {
      for (++i; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) ++i;
        arg += s[i];
      }
      ++i;  // closing quote
    } else {
      for (; i < s.size() && s[i] != ' '; ++i) arg += s[i];
    }
    std::string unpercent;
    for (size_t k = 0; k < arg.size(); ++k) {
      unpercent += arg[k];
      if (arg[k] == '%' && k + 1 < arg.size() && arg[k + 1] == '%') ++k;
    }
    args.push_back(unpercent);
  }
  return args;
}

std::string ExecLine(const std::string& entry) {
  const size_t at = entry.find("\nExec=");
  if (at == std::string::npos) return std::string();
  const size_t end = entry.find('\n', at + 1);
  return entry.substr(at + 6, end - at - 6);
}

std::wstring Widen(const std::string& utf8) {
  std::wstring w;  // test paths are ASCII
  for (char c : utf8) w += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return w;
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    config_ = testing_sandbox::MakeTempDir("config");
    setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_READ | KEY_WRITE, &user_), ERROR_SUCCESS);
  }
  void TearDown() override { RegCloseKey(user_); }

  LSTATUS Set(HKEY key, const wchar_t* name, const std::wstring& data) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(WCHAR)));
  }
  fs::path Entry(const char* name = "Pastiq") const { return fs::path(config_) / "autostart" / (std::string(name) + ".desktop"); }

  std::string config_;
  HKEY user_ = nullptr;
};

TEST_F(Registry, RunValueIsAnAutostartEntry) {
  ASSERT_EQ(Set(user_, L"Pastiq", L"\"/usr/bin/pastiq\" -startup"), ERROR_SUCCESS);
  EXPECT_EQ(Slurp(Entry()), "[Desktop Entry]\nType=Application\nName=Pastiq\nExec=/usr/bin/pastiq -startup\n");
  ASSERT_EQ(Set(user_, L"Pastiq", L"\"/opt/new place/pastiq\" -startup"), ERROR_SUCCESS);
  EXPECT_EQ(ExecLine(Slurp(Entry())), "\"/opt/new place/pastiq\" -startup");
  int files = 0;
  for (const auto& e : fs::directory_iterator(fs::path(config_) / "autostart")) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1) << "rewritten in place, no temporary file left";
}

TEST_F(Registry, AwkwardProgramPathsStillStartTheProgram) {
  const struct {
    std::string path;
    std::wstring data;  // as the command line carries it
  } cases[] = {
      {"/opt/my apps/pastiq", L"\"/opt/my apps/pastiq\" -startup"},
      {"/tmp/a$b`c\\d%e/pastiq", L"\"/tmp/a$b`c\\d%e/pastiq\" -startup"},
      {"/tmp/say \"hi\"/pastiq", L"\"/tmp/say \\\"hi\\\"/pastiq\" -startup"},
      {"/tmp/back\\slash\\", L"\"/tmp/back\\slash\\\\\" -startup"},
      {"/tmp/100%/p'q;r|s&t(u)*?#~<>", L"\"/tmp/100%/p'q;r|s&t(u)*?#~<>\" -startup"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Set(user_, L"Pastiq", c.data), ERROR_SUCCESS) << c.path;
    const std::vector<std::string> args = ParseExec(ExecLine(Slurp(Entry())));
    ASSERT_EQ(args.size(), 2u) << c.path;
    EXPECT_EQ(args[0], c.path);
    EXPECT_EQ(args[1], "-startup");
  }
  // One spelled out: quoted, with $ ` \ escaped in the quotes, % doubled and
  // every backslash doubled again for the desktop file.
  ASSERT_EQ(Set(user_, L"Pastiq", L"\"/tmp/a$b`c\\d%e/pastiq\" -startup"), ERROR_SUCCESS);
  EXPECT_EQ(ExecLine(Slurp(Entry())), "\"/tmp/a\\\\$b\\\\`c\\\\\\\\d%%e/pastiq\" -startup");
}

TEST_F(Registry, APathWithANewlineIsRefused) {
  ASSERT_EQ(Set(user_, L"Pastiq", L"\"/usr/bin/pastiq\" -startup"), ERROR_SUCCESS);
  const std::string before = Slurp(Entry());
  EXPECT_EQ(Set(user_, L"Pastiq", L"\"/tmp/evil\nExec=/bin/sh\" -startup"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Slurp(Entry()), before);
}

TEST_F(Registry, DeletingRemovesTheEntry) {
  ASSERT_EQ(Set(user_, L"Pastiq", L"\"/usr/bin/pastiq\" -startup"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(user_, L"Pastiq"), ERROR_SUCCESS);
  EXPECT_FALSE(fs::exists(Entry()));
  EXPECT_EQ(RegDeleteValueW(user_, L"Pastiq"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, MachineWideRunKeyOpensButTouchesNothing) {
  ASSERT_EQ(Set(user_, L"Pastiq", L"\"/usr/bin/pastiq\" -startup"), ERROR_SUCCESS);
  HKEY machine = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRun, 0, KEY_READ | KEY_WRITE, &machine), ERROR_SUCCESS);
  EXPECT_NE(RegDeleteValueW(machine, L"Pastiq"), ERROR_SUCCESS);
  EXPECT_NE(Set(machine, L"Pastiq", L"\"/usr/bin/pastiq\""), ERROR_SUCCESS);
  EXPECT_TRUE(fs::exists(Entry())) << "the user's entry is not the machine's";
  EXPECT_EQ(RegCloseKey(machine), ERROR_SUCCESS);
}

TEST_F(Registry, KeysHandlesAndAccessBehaveAsDocumented) {
  HKEY k = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Other", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, kRun, 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);

  // Key names ignore letter case.
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"software\\microsoft\\windows\\currentversion\\run", 0, KEY_READ, &k),
            ERROR_SUCCESS);
  EXPECT_EQ(Set(k, L"Pastiq", L"\"/usr/bin/pastiq\""), ERROR_ACCESS_DENIED) << "opened for reading only";
  EXPECT_FALSE(fs::exists(Entry()));
  EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);

  for (const wchar_t* bad : {L"", L"../escape", L"a/b", L".hidden"})
    EXPECT_EQ(Set(user_, bad, L"\"/usr/bin/pastiq\""), ERROR_INVALID_PARAMETER) << "name " << bad;
  const std::wstring data = L"\"/usr/bin/pastiq\"";
  EXPECT_EQ(RegSetValueExW(user_, L"Pastiq", 0, REG_NONE, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(WCHAR))),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Set(user_, L"Pastiq", L""), ERROR_INVALID_PARAMETER) << "no program";
}

TEST_F(Registry, DefaultFolderIsUnderHome) {
  const std::string home = testing_sandbox::MakeTempDir("home");
  const std::string savedHome = std::getenv("HOME");
  setenv("HOME", home.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  const LSTATUS rc = Set(user_, L"Pastiq", Widen("\"/usr/bin/pastiq\" -startup"));
  setenv("HOME", savedHome.c_str(), 1);
  EXPECT_EQ(rc, ERROR_SUCCESS);
  EXPECT_TRUE(fs::exists(fs::path(home) / ".config/autostart/Pastiq.desktop"));
}

}  // namespace
