#pragma once
// A reader of rich text (RTF) for showing it: the text with its runs of
// bold, italic, underline, font size and colour, paragraphs as line breaks.
// Everything else (fonts, pictures, objects' data, headers, fields'
// instructions, any destination it does not know) is skipped.
//
// The bytes come from other programs' clipboards and from network peers:
// reading stops at the first NUL or the end of the block, never recurses,
// keeps at most kRtfMaxDepth groups of state, survives missing and extra
// braces, and keeps at most kRtfMaxText characters. Its memory is bounded by
// the input's length.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Groups nested deeper than this share the state of the deepest one kept.
constexpr std::size_t kRtfMaxDepth = 128;
// Characters of text kept; a longer text is cut and marked truncated.
constexpr std::size_t kRtfMaxText = std::size_t(1) << 21;
// Colour-table entries kept; later ones read as the default colour.
constexpr std::size_t kRtfMaxColours = 1024;

struct RtfColour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const RtfColour& o) const { return red == o.red && green == o.green && blue == o.blue; }
};

struct RtfStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  // The font size in half points; 0 keeps the control's own size.
  int halfPoints = 0;
  // False keeps the control's own text colour.
  bool coloured = false;
  RtfColour colour;

  bool IsDefault() const { return *this == RtfStyle(); }
  bool operator==(const RtfStyle& o) const {
    return bold == o.bold && italic == o.italic && underline == o.underline &&
           halfPoints == o.halfPoints && coloured == o.coloured && (!coloured || colour == o.colour);
  }
  bool operator!=(const RtfStyle& o) const { return !(*this == o); }
};

// A stretch of the text in one style: characters [start, start + length).
struct RtfRun {
  std::size_t start = 0;
  std::size_t length = 0;
  RtfStyle style;
};

struct RtfDocument {
  std::wstring text;
  // Cover the text from its start, in order, without gaps; neighbours differ
  // in style, and none is empty.
  std::vector<RtfRun> runs;
  // The text reached kRtfMaxText and what followed is not shown.
  bool truncated = false;
};

// True when the bytes start with the signature "{\rtf".
bool HasRtfSignature(const char* data, std::size_t size);

// Reads `size` bytes (up to the first NUL). Bytes without the RTF signature
// are taken as UTF-8 text in the default style.
RtfDocument ReadRtf(const char* data, std::size_t size);
