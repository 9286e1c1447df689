#pragma once
// The application's settings record: the option store, the trusted clients,
// the hosts records can be sent to and the version; saved as "pastiq.cfg" in
// the per-user data folder. Also owns the run-at-login entry.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <boost/serialization/level.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/vector.hpp>
#include <wx/string.h>
#include <wx/thread.h>

#include "appversion.h"
#include "cmn/archive.h"
#include "cmn/option.h"
#include "options.h"

// A computer (and user) whose records this computer accepts, and the record
// list that receives them.
class TrustedClient {
 public:
  std::string host;  // a host name or address text
  std::string user;  // empty: any user
  std::string list;  // name of the receiving record list

  TrustedClient() = default;
  TrustedClient(const wxString& host, const wxString& user, const wxString& list);

  wxString GetHost() const;
  wxString GetUser() const;
  wxString GetList() const;

  // Whether a connection from `peer` (an address text) sent by `user` is this
  // client: both host texts are resolved to IPv4 addresses and compared; when
  // either does not resolve, the texts are compared exactly. An empty host
  // matches no peer. Then the user must be equal, unless this one is empty.
  bool IsHost(const wxString& peer, const wxString& user) const;

  // Resolves a name or dotted address to a dotted address; false when it
  // does not resolve. Tests replace it; an empty function restores the
  // toolkit's resolver. What it answered for a name (either way) is kept for
  // `lifetime`, so a connection does not wait for the name service once per
  // trusted entry; setting a resolver forgets every answer.
  using Resolver = std::function<bool(const wxString& name, wxString& address)>;
  static constexpr std::chrono::milliseconds kResolveLifetime{30000};
  static void SetResolver(Resolver resolver, std::chrono::milliseconds lifetime = kResolveLifetime);

  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    ar & host;
    ar & user;
    ar & list;
  }
};

// The trusted clients in the order the user entered them; archived as the
// plain vector.
class TrustedClientList : public std::vector<TrustedClient> {
 public:
  // Client i, or null when i is not below the count.
  const TrustedClient* GetAt(std::size_t i) const { return i < size() ? &(*this)[i] : nullptr; }
  TrustedClient* GetAt(std::size_t i) { return i < size() ? &(*this)[i] : nullptr; }
  // Copies the first client that IsHost(peer, user) into out.
  bool FindByHost(const wxString& peer, const wxString& user, TrustedClient& out) const;

  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    ar & static_cast<std::vector<TrustedClient>&>(*this);
  }
};
BOOST_CLASS_IMPLEMENTATION(TrustedClientList, object_serializable)
BOOST_CLASS_TRACKING(TrustedClientList, track_never)

struct NetworkAddress {
  std::string host;
  int port = 0;

  NetworkAddress() = default;
  NetworkAddress(const wxString& host, int port);
  wxString GetHost() const;

  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    ar & host;
    ar & port;
  }
};

class AppConfig {
 public:
  static constexpr std::size_t kMaxSendToHosts = 100;
  static constexpr const char* kFileName = "pastiq.cfg";
  // What reading the settings file may take (see cmn::ReadBudget): the file
  // holds options, clients and hosts, a few kilobytes in real use.
  static constexpr std::uint64_t kReadBudget = std::uint64_t(16) << 20;

  AppConfig();
  ~AppConfig();
  AppConfig(const AppConfig&) = delete;
  AppConfig& operator=(const AppConfig&) = delete;

  // Empties everything (observers included) and sets every option default.
  void SetDefaults();
  // Rewrites the run-at-login entry, creates the data folder (false when it
  // cannot be created, leaving the record as it was), then loads the
  // settings file; a file that cannot be read leaves exactly the defaults,
  // and is kept as "pastiq.cfg.bak" before a save replaces it.
  bool Load();
  // Throw bad_archive, archive or stream errors (see cmn/archive.h), and
  // archive_too_large past `budget`.
  void LoadFile(const wxString& path, std::uint64_t budget = kReadBudget);
  // False when the file could not be created; throws when writing failed
  // (the old file then stays as it was), or when the unread file at `path`
  // could not be kept first.
  bool SaveFile(const wxString& path, const ArchiveInfo& info);

  // The per-user data folder: $PASTIQ_DATA_DIR when set, else
  // $XDG_DATA_HOME/pastiq (default ~/.local/share/pastiq).
  static wxString GetFolder();
  static wxString GetFilePath();
  // The folder of the running program file.
  static wxString GetProgramFolder();

  void AddOptionObserver(const int& id, cmn::option<int>::observer* o);

  // Any thread.
  void GetTrustedClients(TrustedClientList& out) const;
  void SetTrustedClients(const TrustedClientList& in);

  // The send-to host at index i, or null when i is not below the count.
  NetworkAddress* GetHost(std::size_t i);
  // Appends (host, port) unless the list is full or holds it already.
  void AddHost(const wxString& host, int port);

  // Points the current user's run-at-login value "Pastiq" at this program
  // with the "startup" switch, after deleting the machine-wide one.
  static void UpdateAutoStart();
  // The run-at-login command for a program path: the path in double quotes,
  // then " -startup". A double quote in the path, and backslashes before one,
  // are escaped the way the command line is split.
  static std::wstring AutoStartCommand(const std::wstring& programPath);

  // Where the default floating rectangle takes the display width from; an
  // empty function restores the primary display (1024 without one).
  static void SetDisplayWidthSource(std::function<int()> source);

  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    ar & options;
    ar & reservedText1;
    ar & reservedText2;
    ar & reservedText3;
    ar & reservedNumber;
    {
      wxCriticalSectionLocker guard(lock);
      ar & trustedClients;
    }
    ar & sendToHosts;
    ar & configVersion;
    ar & reservedFlag;
  }

  cmn::option<int> options;
  // Carried by the settings file; the program gives them no meaning.
  std::string reservedText1, reservedText2, reservedText3;
  std::vector<NetworkAddress> sendToHosts;    // archived; at most 100
  std::vector<NetworkAddress> autoSendHosts;  // not archived: empty after every start
  std::uint32_t reservedNumber = 0;           // archived, no meaning
  int configVersion = APP_VERSION_CODE;
  bool firstRun = true;                       // until a settings file loaded
  bool reservedFlag = false;                  // archived, no meaning

 private:
  mutable wxCriticalSection lock;  // guards trustedClients only
  TrustedClientList trustedClients;
  wxString unreadFile;  // a settings file Load could not read, until kept
};

// The one settings record of the process: the application installs its own
// at start-up, a test its own (null uninstalls). It is the only way any layer
// reaches the settings; the option access of options.h goes to it.
void SetAppConfig(AppConfig* config);
// The installed record, or null when none is.
AppConfig* FindAppConfig();
// The installed record; throws std::logic_error when none is (for callers
// that cannot go on without settings).
AppConfig& GetAppConfig();
