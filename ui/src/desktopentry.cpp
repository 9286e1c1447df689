#include "desktopentry.h"

#include <sstream>

namespace {

std::string Trim(const std::string& s) {
  const char* space = " \t\r";
  const std::size_t first = s.find_first_not_of(space);
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(space) - first + 1);
}

// The words of an Exec value: separated by spaces, a double-quoted word may
// hold spaces and backslash escapes.
std::vector<std::string> ExecWords(const std::string& exec) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '\\' && i + 1 < exec.size()) {
        word += exec[++i];
      } else if (c == '"') {
        quoted = false;
      } else {
        word += c;
      }
    } else if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      inWord = true;
      if (c == '"') {
        quoted = true;
      } else {
        word += c;
      }
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

}  // namespace

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExecProgram(const std::string& exec) {
  const std::vector<std::string> words = ExecWords(exec);
  std::size_t i = 0;
  if (i < words.size() && BaseName(words[i]) == "env") {
    ++i;
    // Its assignments and options; -u and -C take the next word.
    while (i < words.size() && (words[i].find('=') != std::string::npos || words[i].rfind("-", 0) == 0)) {
      if (words[i] == "-u" || words[i] == "-C") ++i;
      ++i;
    }
  }
  if (i >= words.size()) return std::string();
  const std::string program = BaseName(words[i]);
  // A field code (%U and the like) is no program.
  if (program.empty() || program[0] == '%') return std::string();
  return program;
}

bool ParseDesktopEntry(const std::string& text, DesktopEntry& entry) {
  entry = DesktopEntry();
  if (text.size() > kMaxDesktopEntryBytes) return false;
  std::istringstream in(text);
  std::string line, type, exec, tryExec;
  bool inGroup = false, hidden = false;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inGroup) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, equals));
    const std::string value = Trim(line.substr(equals + 1));
    if (key == "Type") type = value;
    else if (key == "Exec") exec = value;
    else if (key == "TryExec") tryExec = value;
    else if (key == "Icon") entry.icon = value;
    else if (key == "Hidden") hidden = value == "true";
  }
  if (type != "Application" || hidden || entry.icon.empty()) return false;
  for (const std::string& program : {ExecProgram(exec), BaseName(tryExec)}) {
    if (!program.empty() && (entry.programs.empty() || entry.programs.front() != program))
      entry.programs.push_back(program);
  }
  return !entry.programs.empty();
}
