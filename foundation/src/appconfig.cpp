#include "appconfig.h"

#include <chrono>
#include <climits>
#include <map>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

#include <wx/app.h>
#include <wx/display.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/socket.h>

#include "cmn/strconv.h"
#include "platform/registry.h"

namespace {

// Display width for the default floating rectangle when there is no display.
constexpr int kFallbackDisplayWidth = 1024;
// A bool the settings file carries that nothing reads.
constexpr int kUnnamedBoolOption = 27;

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValueName[] = L"Pastiq";

std::mutex g_seamLock;
std::function<int()> g_displayWidth;
TrustedClient::Resolver g_resolver;

// Names resolved lately, so that a connection does not wait for the name
// service once per trusted entry. Guarded by g_seamLock.
struct ResolvedName {
  bool resolved;
  wxString address;
  std::chrono::steady_clock::time_point expires;
};
constexpr std::size_t kMaxResolvedNames = 256;
std::chrono::milliseconds g_resolveLifetime = TrustedClient::kResolveLifetime;
std::map<wxString, ResolvedName> g_resolved;
AppConfig* g_config = nullptr;

int PrimaryDisplayWidth() {
  {
    std::lock_guard<std::mutex> guard(g_seamLock);
    if (g_displayWidth) return g_displayWidth();
  }
  // The instance may be a console application: ask it as one, never as wxApp.
  const wxAppConsole* app = wxAppConsole::GetInstance();
  if (app && app->IsGUI() && wxDisplay::GetCount() > 0) return wxDisplay().GetGeometry().GetWidth();
  return kFallbackDisplayWidth;
}

bool ToolkitResolve(const wxString& name, wxString& address) {
  wxIPV4address a;
  if (!a.Hostname(name)) return false;
  address = a.IPAddress();
  return true;
}

bool Resolve(const wxString& name, wxString& address) {
  if (name.empty()) return false;
  TrustedClient::Resolver r;
  const auto now = std::chrono::steady_clock::now();
  {
    std::lock_guard<std::mutex> guard(g_seamLock);
    auto it = g_resolved.find(name);
    if (it != g_resolved.end() && it->second.expires > now) {
      if (it->second.resolved) address = it->second.address;
      return it->second.resolved;
    }
    r = g_resolver;
  }
  // Outside the lock: a lookup may take the name service's time.
  wxString found;
  const bool resolved = r ? r(name, found) : ToolkitResolve(name, found);
  {
    std::lock_guard<std::mutex> guard(g_seamLock);
    if (g_resolved.size() >= kMaxResolvedNames) g_resolved.clear();
    if (g_resolveLifetime.count() > 0) g_resolved[name] = {resolved, found, now + g_resolveLifetime};
  }
  if (resolved) address = found;
  return resolved;
}

wxString FromEnv(const char* name) {
  const char* v = std::getenv(name);
  return v ? wxString(v, *wxConvFileName) : wxString();
}

// The running program file, from the kernel's own link to it.
bool ProgramPath(wxString& out) {
  char buf[PATH_MAX + 1];
  const ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
  if (n <= 0 || n >= PATH_MAX) return false;
  buf[n] = '\0';
  out = wxString(buf, *wxConvFileName);
  return !out.empty();
}

}  // namespace

// ---------------------------------------------------------------- clients

TrustedClient::TrustedClient(const wxString& h, const wxString& u, const wxString& l)
    : host(cmn::wx::ToStdString(h)), user(cmn::wx::ToStdString(u)), list(cmn::wx::ToStdString(l)) {}

wxString TrustedClient::GetHost() const { return cmn::wx::FromStdString(host); }
wxString TrustedClient::GetUser() const { return cmn::wx::FromStdString(user); }
wxString TrustedClient::GetList() const { return cmn::wx::FromStdString(list); }

bool TrustedClient::IsHost(const wxString& peer, const wxString& sender) const {
  const wxString mine = GetHost();
  if (mine.empty()) return false;
  wxString peerAddress, myAddress;
  const bool peerResolved = Resolve(peer, peerAddress);
  const bool mineResolved = Resolve(mine, myAddress);
  const bool hostMatches = (peerResolved && mineResolved) ? peerAddress == myAddress : peer == mine;
  if (!hostMatches) return false;
  return user.empty() || GetUser() == sender;
}

void TrustedClient::SetResolver(Resolver resolver, std::chrono::milliseconds lifetime) {
  std::lock_guard<std::mutex> guard(g_seamLock);
  g_resolver = std::move(resolver);
  g_resolveLifetime = lifetime;
  g_resolved.clear();
}

bool TrustedClientList::FindByHost(const wxString& peer, const wxString& user, TrustedClient& out) const {
  for (const TrustedClient& c : *this) {
    if (c.IsHost(peer, user)) {
      out = c;
      return true;
    }
  }
  return false;
}

NetworkAddress::NetworkAddress(const wxString& h, int p) : host(cmn::wx::ToStdString(h)), port(p) {}

wxString NetworkAddress::GetHost() const { return cmn::wx::FromStdString(host); }

// ---------------------------------------------------------------- record

AppConfig::AppConfig() { SetDefaults(); }

AppConfig::~AppConfig() = default;

void AppConfig::SetDefaults() {
  reservedText1.clear();
  reservedText2.clear();
  reservedText3.clear();
  options.Clear();
  {
    wxCriticalSectionLocker guard(lock);
    trustedClients.clear();
  }
  sendToHosts.clear();
  autoSendHosts.clear();
  reservedNumber = 0;
  reservedFlag = false;
  firstRun = true;
  configVersion = APP_VERSION_CODE;

  cmn::option<int>& o = options;
  o.Set(OPT_POPUP_SHORTCUT, true);
  o.Set(OPT_POPUP_SHORTCUT_WIN, true);
  o.Set(OPT_POPUP_SHORTCUT_CTRL, false);
  o.Set(OPT_POPUP_SHORTCUT_ALT, false);
  o.Set(OPT_SHORTCUT_KEY, 'V');
  o.Set(OPT_FLOATING_KEYS, true);
  o.Set(OPT_FLOATING_KEYS_WIN, true);
  o.Set(OPT_FLOATING_KEYS_CTRL, false);
  o.Set(OPT_FLOATING_KEYS_ALT, false);
  o.Set(OPT_FLOATING_RECT, wxRect(PrimaryDisplayWidth() - 155, 5, 150, 300));
  o.Set(OPT_POPUP_SIZE, wxSize(150, 300));
  o.Set(OPT_MENU_WINDOW_SIZE, wxSize(150, 300));
  o.Set(OPT_MAIN_FRAME_RECT, wxRect(-1, -1, -1, -1));
  o.Set(OPT_FLOATING_TAB, 0);
  o.Set(OPT_POPUP_TAB, 0);
  o.Set(OPT_MENU_WINDOW_TAB, 0);
  o.Set(OPT_MAIN_FRAME_TAB, 0);
  o.Set(OPT_FLOATING_SHOWN, true);
  o.Set(OPT_RECEIVE_ENABLED, false);
  o.Set(OPT_RECORDING, true);
  o.Set(OPT_AUTO_START, true);
  o.Set(OPT_CHECK_VERSION, false);
  o.Set(OPT_RECEIVER_PORT, 45689);
  o.Set(OPT_REJOIN_VIEWER, true);
  o.Set(OPT_REJOIN_INTERVAL, 10000);
  o.Set(kUnnamedBoolOption, false);
  o.Set(OPT_NOTIFIED_VERSION, APP_VERSION_CODE);
  o.Set(OPT_MULTIPASTE_AT_ONCE, true);
  o.Set(OPT_RECORD_FORMAT_BASE + 5, false);  // bitmap
  o.Set(OPT_RECORD_FORMAT_BASE + 8, true);   // CSV
  o.Set(OPT_RECORD_FORMAT_BASE + 6, false);  // metafile
  o.Set(OPT_RECORD_FORMAT_BASE + 4, true);   // HTML
  o.Set(OPT_RECORD_FORMAT_BASE + 2, true);   // locale
  o.Set(OPT_RECORD_FORMAT_BASE + 1, true);   // plain text
  o.Set(OPT_RECORD_FORMAT_BASE + 3, true);   // RTF
  o.Set(OPT_RECORD_FORMAT_BASE + 7, false);  // embedded object
}

bool AppConfig::Load() {
  UpdateAutoStart();
  const wxString folder = GetFolder();
  {
    wxLogNull quiet;
    if (!wxFileName::DirExists(folder) && !wxFileName::Mkdir(folder, 0777, wxPATH_MKDIR_FULL)) return false;
  }
  SetDefaults();
  const wxString path = GetFilePath();
  if (wxFileName::FileExists(path)) {
    try {
      LoadFile(path);
      firstRun = false;
    } catch (...) {
      // A damaged or foreign file: the defaults; the next save keeps it as
      // a .bak before replacing it.
      SetDefaults();
      unreadFile = path;
    }
  }
  return true;
}

void AppConfig::LoadFile(const wxString& path, std::uint64_t budget) {
  cmn::LoadArchiveFile(path, cmn::kSettingsFileMagic, *this, budget);
  if (unreadFile == path) unreadFile.clear();  // read after all
}

bool AppConfig::SaveFile(const wxString& path, const ArchiveInfo& info) {
  if (!unreadFile.empty() && unreadFile == path && wxFileName::FileExists(path)) {
    cmn::KeepUnreadFile(path);
    unreadFile.clear();
  }
  return cmn::SaveArchiveFile(path, cmn::kSettingsFileMagic, info, *this);
}

wxString AppConfig::GetFolder() {
  const wxString own = FromEnv("PASTIQ_DATA_DIR");
  if (!own.empty()) return own;
  const wxString xdg = FromEnv("XDG_DATA_HOME");
  if (xdg.StartsWith("/")) return xdg + "/pastiq";
  wxString home = FromEnv("HOME");
  if (home.empty()) home = wxGetHomeDir();
  return home + "/.local/share/pastiq";
}

wxString AppConfig::GetFilePath() { return GetFolder() + "/" + kFileName; }

wxString AppConfig::GetProgramFolder() {
  wxString path;
  if (!ProgramPath(path)) return wxString();
  return wxFileName(path).GetPath();
}

void AppConfig::AddOptionObserver(const int& id, cmn::option<int>::observer* o) { options.AddObserver(id, o); }

void AppConfig::GetTrustedClients(TrustedClientList& out) const {
  wxCriticalSectionLocker guard(lock);
  out = trustedClients;
}

void AppConfig::SetTrustedClients(const TrustedClientList& in) {
  TrustedClientList copy(in);  // copied outside the lock
  wxCriticalSectionLocker guard(lock);
  trustedClients.swap(copy);
}

NetworkAddress* AppConfig::GetHost(std::size_t i) { return i < sendToHosts.size() ? &sendToHosts[i] : nullptr; }

void AppConfig::AddHost(const wxString& host, int port) {
  if (sendToHosts.size() >= kMaxSendToHosts) return;
  NetworkAddress address(host, port);
  for (const NetworkAddress& a : sendToHosts)
    if (a.host == address.host && a.port == address.port) return;
  sendToHosts.push_back(address);
}

std::wstring AppConfig::AutoStartCommand(const std::wstring& programPath) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : programPath) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');  // they stand before the closing quote
  out += L"\" -startup";
  return out;
}

void AppConfig::UpdateAutoStart() {
  wxString path;
  if (!ProgramPath(path)) return;
  const std::wstring data = AutoStartCommand(path.ToStdWstring());

  HKEY machine = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_READ | KEY_WRITE, &machine) == ERROR_SUCCESS)
    RegDeleteValueW(machine, kRunValueName);
  else
    machine = nullptr;

  HKEY user = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ | KEY_WRITE, &user) == ERROR_SUCCESS) {
    bool closed = true;
    if (machine) {
      closed = RegCloseKey(machine) == ERROR_SUCCESS;
      if (closed) machine = nullptr;
    }
    if (closed)
      RegSetValueExW(user, kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(WCHAR)));
  } else {
    user = nullptr;
  }
  if (user) RegCloseKey(user);
  if (machine) RegCloseKey(machine);
}

void AppConfig::SetDisplayWidthSource(std::function<int()> source) {
  std::lock_guard<std::mutex> guard(g_seamLock);
  g_displayWidth = std::move(source);
}

// ---------------------------------------------------------------- access

void SetAppConfig(AppConfig* config) { g_config = config; }

AppConfig* FindAppConfig() { return g_config; }

AppConfig& GetAppConfig() {
  if (!g_config) throw std::logic_error("no settings record installed");
  return *g_config;
}

void AddOptionObserver(int id, cmn::option<int>::observer* o) {
  if (g_config) g_config->AddOptionObserver(id, o);
}

void RemoveOptionObserver(int id, cmn::option<int>::observer* o) {
  if (g_config) g_config->options.RemoveObserver(id, o);
}

namespace {
template <class T>
struct SoleOption;
template <>
struct SoleOption<char> {
  static constexpr int id = OPT_SHORTCUT_KEY;
};
template <>
struct SoleOption<wxString> {
  static constexpr int id = OPT_MULTIPASTE_TEXT;
};
}  // namespace

template <class T>
bool GetOption(int id, T& out, const T& def) {
  T value = def;
  if (g_config && g_config->options.Get(id, value)) {
    out = value;
    return true;
  }
  out = def;
  return false;
}

template <class T>
T OptionValue(int id, const T& def) {
  T out = def;
  GetOption(id, out, def);
  return out;
}

template <class T>
void SetOption(int id, const T& v) {
  if (g_config) g_config->options.Set(id, v);
}

template <class T>
bool GetOption(T& out, const T& def) {
  return GetOption(SoleOption<T>::id, out, def);
}

template <class T>
void SetOption(const T& v) {
  SetOption(SoleOption<T>::id, v);
}

#define PASTIQ_OPTION_ACCESS(T)                              \
  template bool GetOption<T>(int, T&, const T&);             \
  template T OptionValue<T>(int, const T&);                  \
  template void SetOption<T>(int, const T&);
PASTIQ_OPTION_ACCESS(bool)
PASTIQ_OPTION_ACCESS(char)
PASTIQ_OPTION_ACCESS(int)
PASTIQ_OPTION_ACCESS(unsigned long)
PASTIQ_OPTION_ACCESS(wxSize)
PASTIQ_OPTION_ACCESS(wxRect)
PASTIQ_OPTION_ACCESS(wxString)
#undef PASTIQ_OPTION_ACCESS
template bool GetOption<char>(char&, const char&);
template bool GetOption<wxString>(wxString&, const wxString&);
template void SetOption<wxString>(const wxString&);
template void SetOption<char>(const char&);
