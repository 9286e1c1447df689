#include "sandbox.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testing_sandbox {
namespace {
std::string g_root;

void RemoveRoot() {
  if (g_root.empty() || std::getenv("PASTIQ_KEEP_TEST_HOME")) return;
  std::error_code ec;
  fs::remove_all(g_root, ec);
}
}  // namespace

void Enter() {
  if (!g_root.empty()) return;
  std::string tmpl = (fs::temp_directory_path() / "pastiq-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create test home");
  g_root = tmpl;
  const std::string home = g_root + "/home";
  fs::create_directories(home);
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
  unsetenv("PASTIQ_DATA_DIR");
  std::atexit(RemoveRoot);
}

const std::string& Root() { return g_root; }

std::string MakeTempDir(const std::string& hint) {
  static int counter = 0;
  fs::path p = fs::path(g_root.empty() ? fs::temp_directory_path().string() : g_root) /
               (hint + "-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
  fs::remove_all(p);
  fs::create_directories(p);
  return p.string();
}

std::string DataFile(const std::string& name) { return std::string(PASTIQ_TEST_DATA_DIR) + "/" + name; }
}  // namespace testing_sandbox
