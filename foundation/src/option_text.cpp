#include <cctype>
#include <locale>
#include <sstream>

#include "cmn/option.h"
#include "cmn/strconv.h"

namespace cmn {
namespace option_text {

namespace {
std::istringstream Reader(const std::string& text) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  return in;
}

// Whatever follows the value may only be blanks.
bool AtEnd(std::istringstream& in) {
  if (in.fail()) return false;
  in >> std::ws;
  return in.eof();
}

template <class... T>
bool ReadInts(const std::string& text, T&... out) {
  std::istringstream in = Reader(text);
  (in >> ... >> out);
  return AtEnd(in);
}

std::string Join(std::initializer_list<long long> parts) {
  std::string s;
  for (long long p : parts) {
    if (!s.empty()) s += ' ';
    s += std::to_string(p);
  }
  return s;
}
}  // namespace

bool Parse(const std::string& text, bool& out) {
  int v = 0;
  if (!ReadInts(text, v) || (v != 0 && v != 1)) return false;
  out = v == 1;
  return true;
}

bool Parse(const std::string& text, char& out) {
  for (char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c))) {
      out = c;
      return true;
    }
  }
  return false;
}

bool Parse(const std::string& text, int& out) {
  int v = 0;
  if (!ReadInts(text, v)) return false;
  out = v;
  return true;
}

bool Parse(const std::string& text, unsigned long& out) {
  if (text.find('-') != std::string::npos) return false;  // a stream would wrap it round
  unsigned long v = 0;
  if (!ReadInts(text, v)) return false;
  out = v;
  return true;
}

bool Parse(const std::string& text, wxSize& out) {
  int w = 0, h = 0;
  if (!ReadInts(text, w, h)) return false;
  out = wxSize(w, h);
  return true;
}

bool Parse(const std::string& text, wxRect& out) {
  int x = 0, y = 0, w = 0, h = 0;
  if (!ReadInts(text, x, y, w, h)) return false;
  out = wxRect(x, y, w, h);
  return true;
}

bool Parse(const std::string& text, wxString& out) {
  if (text.empty()) return false;
  wx::AssignWxString(text, out);
  return true;
}

std::string Format(bool v) { return v ? "1" : "0"; }
std::string Format(char v) { return std::string(1, v); }
std::string Format(int v) { return std::to_string(v); }
std::string Format(unsigned long v) { return std::to_string(v); }
std::string Format(const wxSize& v) { return Join({v.x, v.y}); }
std::string Format(const wxRect& v) { return Join({v.x, v.y, v.width, v.height}); }
std::string Format(const wxString& v) {
  std::string s;
  wx::AssignStdString(v, s);
  return s;
}

}  // namespace option_text
}  // namespace cmn
