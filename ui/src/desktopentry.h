#pragma once
// Desktop entries (the XDG ".desktop" files of installed applications): the
// programs an entry starts and the icon it names, which is how a record's
// source executable finds its icon. Plain text from outside: every line and
// file is bounded and anything odd is skipped. No toolkit here, so the
// fuzz target links this file alone.
#include <cstddef>
#include <string>
#include <vector>

struct DesktopEntry {
  // The base names of the programs that Exec and TryExec start.
  std::vector<std::string> programs;
  // The Icon key: a theme icon name or an absolute file path.
  std::string icon;
};

// Files larger than this are not desktop entries and are not read.
constexpr std::size_t kMaxDesktopEntryBytes = 64 * 1024;

// Reads the "[Desktop Entry]" group of `text`. False when it is not a shown
// application entry with an icon (another type, Hidden, no Icon, no program).
bool ParseDesktopEntry(const std::string& text, DesktopEntry& entry);

// The program an Exec value starts: its first word (quotes and escapes as
// the format has them), after "env" and its VAR=value words; its base name.
// Empty when there is none.
std::string ExecProgram(const std::string& exec);

// The last component of a path.
std::string BaseName(const std::string& path);
