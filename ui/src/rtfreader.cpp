#include "rtfreader.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "platform/clipformats.h"

static_assert(sizeof(wchar_t) == 4, "the text holds code points");

namespace {

constexpr wchar_t kReplacement = 0xFFFD;
constexpr std::size_t kMaxWordLength = 32;
// \ucN beyond this is taken as this: a fallback is a few characters at most.
constexpr long kMaxFallback = 16;
// The largest font size RTF writers produce, in half points.
constexpr long kMaxHalfPoints = 3276;

enum class Word {
  Char,      // a character of its own (paragraph, tab, dashes, quotes)
  SkipDest,  // a destination whose content is not shown
  ColourTable,
  Bin,
  Bold,
  Italic,
  Underline,
  UnderlineNone,
  FontSize,
  Foreground,
  Plain,
  UnicodeSkip,  // \uc
  Unicode,      // \u
  Red,
  Green,
  Blue,
  Ansi,
  Mac,
  Pc,
  Pca,
  AnsiCodePage,
};

struct WordInfo {
  Word word;
  wchar_t ch = 0;
};

// The words of a static text separated by spaces.
std::vector<std::string_view> Split(std::string_view text) {
  std::vector<std::string_view> words;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t next = std::min(text.find(' ', at), text.size());
    if (next > at) words.push_back(text.substr(at, next - at));
    at = next + 1;
  }
  return words;
}

const std::unordered_map<std::string_view, WordInfo>& Words() {
  static const std::unordered_map<std::string_view, WordInfo> words = [] {
    std::unordered_map<std::string_view, WordInfo> w;
    const std::pair<const char*, wchar_t> chars[] = {
        {"par", L'\n'},      {"sect", L'\n'},     {"page", L'\n'},       {"line", L'\n'},
        {"row", L'\n'},      {"nestrow", L'\n'},  {"tab", L'\t'},        {"cell", L'\t'},
        {"nestcell", L'\t'}, {"emdash", 0x2014},  {"endash", 0x2013},    {"bullet", 0x2022},
        {"lquote", 0x2018},  {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
        {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005},   {"zwj", 0x200D},
        {"zwnj", 0x200C},    {"ltrmark", 0x200E}, {"rtlmark", 0x200F},
    };
    for (const auto& c : chars) w[c.first] = {Word::Char, c.second};
    // Destinations (and groups) whose text is not part of what a reader sees:
    // tables, pictures, objects' data, headers, notes, field instructions,
    // document properties.
    static const char kSkipped[] =
        "fonttbl filetbl stylesheet listtable listoverridetable revtbl rsidtbl info generator "
        "xmlnstbl pict nonshppict objdata objclass themedata colorschememapping datastore "
        "latentstyles mmathPr pgdsctbl header headerl headerr headerf footer footerl footerr "
        "footerf footnote annotation atnid atnauthor atndate atnref fldinst bkmkstart bkmkend pn "
        "pnseclvl do xe tc txe template userprops docvar private upr";
    for (std::string_view name : Split(kSkipped)) w[name] = {Word::SkipDest};
    static const char kUnderlines[] =
        "ul uld uldash uldashd uldashdd uldb ulhwave ulldash ulth ulthd ulthdash ulthdashd "
        "ulthdashdd ulthldash ululdbwave ulw ulwave";
    for (std::string_view name : Split(kUnderlines)) w[name] = {Word::Underline};
    const std::pair<const char*, Word> rest[] = {
        {"colortbl", Word::ColourTable},
        {"bin", Word::Bin},
        {"b", Word::Bold},
        {"i", Word::Italic},
        {"ulnone", Word::UnderlineNone},
        {"fs", Word::FontSize},
        {"cf", Word::Foreground},
        {"plain", Word::Plain},
        {"uc", Word::UnicodeSkip},
        {"u", Word::Unicode},
        {"red", Word::Red},
        {"green", Word::Green},
        {"blue", Word::Blue},
        {"ansi", Word::Ansi},
        {"mac", Word::Mac},
        {"pc", Word::Pc},
        {"pca", Word::Pca},
        {"ansicpg", Word::AnsiCodePage},
    };
    for (const auto& r : rest) w[r.first] = {r.second};
    return w;
  }();
  return words;
}

bool IsAlpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
// A character that stands for itself in RTF text.
bool IsPlain(unsigned char c) {
  return (c >= 0x20 && c < 0x7F && c != '{' && c != '}' && c != '\\') || c == '\t';
}
// What the text may hold: no other control characters (a text control would
// cut the text at a NUL and show the rest as boxes).
bool Showable(char32_t c) { return c >= 0x20 || c == L'\t' || c == L'\n'; }

// Decodes the \'hh bytes of the document's code page.
class CodePage {
 public:
  CodePage() { Set(1252); }
  ~CodePage() { Close(); }
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  void Set(long codePage) {
    if (codePage == current) return;
    Close();
    current = codePage;
    if (codePage != 1252 && Open(codePage)) {
      // Double-byte code pages and UTF-8 read whole sequences; the others are
      // one byte per character and get a table.
      const bool multiByte =
          codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 65001;
      if (multiByte) return;
      for (int b = 0; b < 256; ++b) {
        std::wstring one;
        const char byte = static_cast<char>(b);
        Convert(&byte, 1, one);
        table[b] = one.size() == 1 ? one[0] : kReplacement;
      }
      Close();
      return;
    }
    // Windows-1252, also where the code page is unknown.
    Close();
    static const std::array<wchar_t, 256> windows1252 = [] {
      std::array<wchar_t, 256> t;
      for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        if (MultiByteToWideChar(1252, 0, &byte, 1, &t[b], 1) != 1) t[b] = kReplacement;
      }
      return t;
    }();
    table = windows1252;
  }

  void Decode(const std::string& bytes, std::wstring& out) {
    if (converter == reinterpret_cast<iconv_t>(-1)) {
      out.reserve(out.size() + bytes.size());
      for (unsigned char b : bytes) out.push_back(table[b]);
      return;
    }
    Convert(bytes.data(), bytes.size(), out);
  }

 private:
  bool Open(long codePage) {
    std::string name;
    if (codePage == 10000)
      name = "MACINTOSH";
    else if (codePage == 65001)
      name = "UTF-8";
    else if (codePage > 0 && codePage < 100000)
      name = "CP" + std::to_string(codePage);
    else
      return false;
    converter = iconv_open("WCHAR_T", name.c_str());
    return converter != reinterpret_cast<iconv_t>(-1);
  }
  void Close() {
    if (converter != reinterpret_cast<iconv_t>(-1)) iconv_close(converter);
    converter = reinterpret_cast<iconv_t>(-1);
  }
  // Every byte gives at most one character; a sequence that does not decode
  // gives one replacement character per byte.
  void Convert(const char* bytes, std::size_t size, std::wstring& out) {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::wstring buffer(size, L'\0');
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = size;
    char* outp = reinterpret_cast<char*>(&buffer[0]);
    std::size_t outLeft = size * sizeof(wchar_t);
    while (inLeft > 0) {
      if (iconv(converter, &in, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG || outLeft < sizeof(wchar_t)) break;
      // EILSEQ or EINVAL: one byte that does not decode here.
      *reinterpret_cast<wchar_t*>(outp) = kReplacement;
      outp += sizeof(wchar_t);
      outLeft -= sizeof(wchar_t);
      ++in;
      --inLeft;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    buffer.resize((reinterpret_cast<wchar_t*>(outp) - buffer.data()));
    out += buffer;
  }

  long current = -1;
  iconv_t converter = reinterpret_cast<iconv_t>(-1);
  std::array<wchar_t, 256> table{};
};

class Reader {
 public:
  Reader(const unsigned char* begin, const unsigned char* end, std::size_t maxText)
      : p(begin), end(end), maxText(maxText) {
    // Rarely more bytes of text than of input: mostly one allocation, and no
    // copies as it grows.
    doc.text.reserve(std::min(std::size_t(end - begin), 4 * maxText));
  }

  RtfDocument Read() {
    while (p < end && !done) {
      if (state.dest == Dest::Skip) SkipText();
      if (p >= end) break;
      const unsigned char c = *p;
      if (c == '{') {
        ++p;
        OpenGroup();
      } else if (c == '}') {
        ++p;
        CloseGroup();
      } else if (c == '\\') {
        ++p;
        Control();
      } else if (IsPlain(c)) {
        Characters();
      } else {
        ++p;
        groupStart = false;
        if (c >= 0x80) Byte(c);  // not 7-bit as RTF should be; read as \'hh
      }
    }
    FlushBytes();
    FlushSurrogate();
    // Most of the input was markup: give back what the text did not use.
    if (doc.text.size() < doc.text.capacity() / 2) doc.text.shrink_to_fit();
    return std::move(doc);
  }

 private:
  enum class Dest { Text, Skip, ColourTable };
  struct State {
    RtfStyle style;
    long fallback = 1;  // \uc
    Dest dest = Dest::Text;
  };
  struct TableColour {
    RtfColour colour;
    bool automatic = true;
  };

  void SkipText() {
    while (p < end && *p != '{' && *p != '}' && *p != '\\') ++p;
  }

  void OpenGroup() {
    FlushBytes();
    toSkip = 0;
    if (stack.size() < kRtfMaxDepth)
      stack.push_back(state);
    else
      ++overflow;
    groupStart = true;
  }

  void CloseGroup() {
    FlushBytes();
    toSkip = 0;
    groupStart = false;
    if (overflow > 0) {
      --overflow;
      return;
    }
    if (stack.empty()) {
      done = true;
      return;
    }
    state = stack.back();
    stack.pop_back();
    // The outermost group closed: the document ends here (a block may carry
    // other bytes after it).
    if (stack.empty()) done = true;
  }

  // A run of plain characters.
  void Characters() {
    const unsigned char* s = p;
    while (p < end && IsPlain(*p)) ++p;
    groupStart = false;
    if (state.dest == Dest::ColourTable) {
      for (const unsigned char* q = s; q < p; ++q)
        if (*q == ';') EndColour();
      return;
    }
    if (state.dest != Dest::Text) return;
    FlushBytes();
    if (toSkip > 0) {
      const std::size_t n = std::min<std::size_t>(toSkip, std::size_t(p - s));
      s += n;
      toSkip -= static_cast<long>(n);
    }
    if (s == p) return;
    FlushSurrogate();
    std::size_t n = std::size_t(p - s);
    if (!Room(n)) return;
    doc.text.append(reinterpret_cast<const char*>(s), n);
    Note(n);
  }

  void Byte(unsigned char b) {
    if (state.dest != Dest::Text) return;
    if (toSkip > 0) {
      --toSkip;
      return;
    }
    bytes.push_back(static_cast<char>(b));
  }

  void Control() {
    if (p >= end) return;
    const unsigned char c = *p;
    if (!IsAlpha(c)) {
      ++p;
      Symbol(c);
      return;
    }
    const unsigned char* s = p;
    while (p < end && IsAlpha(*p)) ++p;
    const std::size_t length = std::size_t(p - s);
    bool hasParam = false;
    long param = 0;
    const bool negative = p + 1 < end && *p == '-' && IsDigit(p[1]);
    if (negative) ++p;
    if (p < end && IsDigit(*p)) {
      hasParam = true;
      long long v = 0;
      while (p < end && IsDigit(*p)) {
        if (v <= LLONG_MAX / 100) v = v * 10 + (*p - '0');
        ++p;
      }
      if (negative) v = -v;
      param = static_cast<long>(std::clamp<long long>(v, INT_MIN, INT_MAX));
    }
    if (p < end && *p == ' ') ++p;
    const bool first = groupStart;
    groupStart = false;

    const auto& words = Words();
    const auto found = length > kMaxWordLength
                           ? words.end()
                           : words.find(std::string_view(reinterpret_cast<const char*>(s), length));
    if (found != words.end() && found->second.word == Word::Bin) {
      // Raw bytes follow, in any destination.
      FlushBytes();
      if (hasParam && param > 0) p += std::min<std::size_t>(std::size_t(param), std::size_t(end - p));
      if (toSkip > 0) --toSkip;
      return;
    }
    if (state.dest == Dest::Skip) return;
    FlushBytes();
    if (found == words.end()) {
      if (toSkip > 0) --toSkip;
      return;
    }
    const WordInfo& w = found->second;
    if (state.dest == Dest::ColourTable) {
      const std::uint8_t v = static_cast<std::uint8_t>(std::clamp(param, 0L, 255L));
      if (w.word == Word::Red) pending.colour.red = v;
      if (w.word == Word::Green) pending.colour.green = v;
      if (w.word == Word::Blue) pending.colour.blue = v;
      if (w.word == Word::Red || w.word == Word::Green || w.word == Word::Blue) pending.automatic = false;
      return;
    }
    if (first && w.word == Word::SkipDest) {
      state.dest = Dest::Skip;
      return;
    }
    if (first && w.word == Word::ColourTable) {
      state.dest = Dest::ColourTable;
      colours.clear();
      pending = TableColour();
      return;
    }
    // A fallback for the preceding \u counts control words as characters.
    if (toSkip > 0) {
      --toSkip;
      return;
    }
    const bool on = !hasParam || param != 0;
    switch (w.word) {
      case Word::Char: Emit(w.ch); break;
      case Word::Bold: state.style.bold = on; break;
      case Word::Italic: state.style.italic = on; break;
      case Word::Underline: state.style.underline = on; break;
      case Word::UnderlineNone: state.style.underline = false; break;
      case Word::FontSize:
        state.style.halfPoints = std::uint16_t(!hasParam    ? 24
                                               : param <= 0 ? 0
                                                            : std::min(param, kMaxHalfPoints));
        break;
      case Word::Foreground: SetForeground(hasParam ? param : 0); break;
      case Word::Plain: state.style = RtfStyle(); break;
      case Word::UnicodeSkip: state.fallback = hasParam ? std::clamp(param, 0L, kMaxFallback) : 1; break;
      case Word::Unicode:
        if (hasParam) Unicode(param);
        break;
      case Word::Ansi: codePage.Set(1252); break;
      case Word::Mac: codePage.Set(10000); break;
      case Word::Pc: codePage.Set(437); break;
      case Word::Pca: codePage.Set(850); break;
      case Word::AnsiCodePage:
        if (hasParam) codePage.Set(param);
        break;
      default: break;  // destinations not at a group's start, colour parts outside the table
    }
  }

  void Symbol(unsigned char c) {
    groupStart = false;
    if (c == '\'') {
      // A byte cut off by the end of the block is dropped; without two hex
      // digits it is no byte, and what follows reads as text.
      if (end - p < 2) {
        p = end;
        return;
      }
      if (HexValue(p[0]) < 0 || HexValue(p[1]) < 0) return;
      const unsigned char b = static_cast<unsigned char>(HexValue(p[0]) * 16 + HexValue(p[1]));
      p += 2;
      Byte(b);
      return;
    }
    if (state.dest == Dest::Skip) return;
    FlushBytes();
    if (c == '*') {
      // "Skip this destination unless you know it": none that follows a star
      // is shown.
      state.dest = Dest::Skip;
      return;
    }
    if (state.dest != Dest::Text) return;
    if (toSkip > 0) {
      --toSkip;
      return;
    }
    switch (c) {
      case '\\':
      case '{':
      case '}': Emit(c); break;
      case '~': Emit(0x00A0); break;
      case '_': Emit(0x2011); break;
      case '\n':
      case '\r': Emit(L'\n'); break;
      case '\t': Emit(L'\t'); break;
      default: break;  // \- (optional hyphen), \: and the rest show nothing
    }
  }

  void Unicode(long value) {
    if (value < 0) value += 65536;
    char32_t c = value < 0 || value > 0x10FFFF ? kReplacement : char32_t(value);
    if (c >= 0xD800 && c < 0xDC00) {
      FlushSurrogate();
      high = c;
    } else if (c >= 0xDC00 && c < 0xE000) {
      if (high != 0) {
        const char32_t full = 0x10000 + ((high - 0xD800) << 10) + (c - 0xDC00);
        high = 0;
        Emit(full);
      } else {
        Emit(kReplacement);
      }
    } else if (Showable(c)) {
      Emit(c);
    }
    toSkip = state.fallback;
  }

  void SetForeground(long index) {
    state.style.coloured = false;
    if (index < 0 || std::size_t(index) >= colours.size() || colours[std::size_t(index)].automatic) return;
    state.style.coloured = true;
    state.style.colour = colours[std::size_t(index)].colour;
  }

  void EndColour() {
    if (colours.size() < kRtfMaxColours) colours.push_back(pending);
    pending = TableColour();
  }

  void FlushBytes() {
    if (bytes.empty()) return;
    decoded.clear();
    codePage.Decode(bytes, decoded);
    bytes.clear();
    decoded.erase(std::remove_if(decoded.begin(), decoded.end(), [](wchar_t c) { return !Showable(c); }),
                  decoded.end());
    if (decoded.empty()) return;
    FlushSurrogate();
    std::size_t n = decoded.size();
    if (!Room(n)) return;
    for (std::size_t i = 0; i < n; ++i) platform::AppendUtf8(doc.text, decoded[i]);
    Note(n);
  }

  void FlushSurrogate() {
    if (high == 0) return;
    high = 0;
    Emit(kReplacement);
  }

  void Emit(char32_t c) {
    std::size_t n = 1;
    if (high != 0) FlushSurrogate();
    if (!Room(n)) return;
    platform::AppendUtf8(doc.text, c);
    Note(1);
  }

  // Cuts n to what the cap leaves; at the cap the reading ends.
  bool Room(std::size_t& n) {
    const std::size_t left = maxText - chars;
    if (n > left) {
      n = left;
      doc.truncated = true;
      done = true;
    }
    return n > 0;
  }

  // The last n characters were added in the current style.
  void Note(std::size_t n) {
    chars += n;
    const std::uint32_t style = StyleIndex();
    if (!doc.runs.empty() && doc.runs.back().style == style) {
      doc.runs.back().length += std::uint32_t(n);
      return;
    }
    RtfRun run;
    run.start = std::uint32_t(chars - n);
    run.length = std::uint32_t(n);
    run.style = style;
    doc.runs.push_back(run);
  }

  std::uint32_t StyleIndex() {
    const std::uint64_t key = state.style.Key();
    if (key == lastKey) return lastIndex;
    const auto found = styleIndex.emplace(key, std::uint32_t(doc.styles.size()));
    if (found.second) doc.styles.push_back(state.style);
    lastKey = key;
    lastIndex = found.first->second;
    return lastIndex;
  }

  const unsigned char* p;
  const unsigned char* const end;
  const std::size_t maxText;
  bool done = false;
  bool groupStart = false;
  std::size_t chars = 0;  // in the text so far
  State state;
  std::vector<State> stack;
  std::size_t overflow = 0;
  long toSkip = 0;    // fallback characters still to skip after \u
  char32_t high = 0;  // a high surrogate waiting for its low half
  std::string bytes;  // \'hh bytes not decoded yet
  std::wstring decoded;
  CodePage codePage;
  std::vector<TableColour> colours;
  TableColour pending;
  std::unordered_map<std::uint64_t, std::uint32_t> styleIndex;
  std::uint64_t lastKey = ~std::uint64_t(0);
  std::uint32_t lastIndex = 0;
  RtfDocument doc;
};

}  // namespace

bool HasRtfSignature(const char* data, std::size_t size) {
  return data != nullptr && size >= 5 && std::memcmp(data, "{\\rtf", 5) == 0;
}

RtfDocument ReadRtf(const char* data, std::size_t size, std::size_t maxText) {
  if (data == nullptr) return RtfDocument();
  maxText = std::min<std::size_t>(maxText, UINT32_MAX);
  if (const void* nul = std::memchr(data, 0, size)) size = std::size_t(static_cast<const char*>(nul) - data);
  if (HasRtfSignature(data, size)) {
    const auto* begin = reinterpret_cast<const unsigned char*>(data);
    return Reader(begin, begin + size, maxText).Read();
  }
  // Enough bytes for one character more than is kept, whatever their
  // lengths: a sequence cut at the end never shows.
  const std::size_t bytes = std::min({size, 4 * std::min(maxText, size) + 4, std::size_t(INT_MAX)});
  const int n = static_cast<int>(bytes);
  std::wstring wide(std::size_t(std::max(MultiByteToWideChar(CP_UTF8, 0, data, n, nullptr, 0), 0)), L'\0');
  if (!wide.empty()) MultiByteToWideChar(CP_UTF8, 0, data, n, &wide[0], int(wide.size()));
  RtfDocument doc;
  doc.truncated = wide.size() > maxText || size > bytes;
  if (wide.size() > maxText) wide.resize(maxText);
  // Invalid sequences became U+FFFD; written again, the text is valid UTF-8.
  doc.text.reserve(bytes);
  for (wchar_t c : wide) platform::AppendUtf8(doc.text, char32_t(c));
  if (!wide.empty()) {
    RtfRun run;
    run.length = std::uint32_t(wide.size());
    doc.runs.push_back(run);
    doc.styles.push_back(RtfStyle());
  }
  return doc;
}
