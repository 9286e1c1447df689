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
#include <deque>
#include <string>
#include <vector>

// Groups nested deeper than this share the state of the deepest one kept.
constexpr std::size_t kRtfMaxDepth = 128;
// Characters of text shown; a longer text is cut and marked truncated. A
// text control on GTK takes about a tenth of a second for this many with
// their styles; the whole text is on the plain-text page.
constexpr std::size_t kRtfMaxText = std::size_t(1) << 18;
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
  std::uint16_t halfPoints = 0;
  // False keeps the control's own text colour.
  bool coloured = false;
  RtfColour colour;

  bool IsDefault() const { return *this == RtfStyle(); }
  // Equal styles have equal keys.
  std::uint64_t Key() const {
    const std::uint64_t rgb =
        coloured ? (std::uint64_t(colour.red) << 16 | std::uint64_t(colour.green) << 8 | colour.blue) : 0;
    return std::uint64_t(bold) | std::uint64_t(italic) << 1 | std::uint64_t(underline) << 2 |
           std::uint64_t(coloured) << 3 | std::uint64_t(halfPoints) << 4 | rgb << 20;
  }
  bool operator==(const RtfStyle& o) const {
    return bold == o.bold && italic == o.italic && underline == o.underline && halfPoints == o.halfPoints &&
           coloured == o.coloured && (!coloured || colour == o.colour);
  }
  bool operator!=(const RtfStyle& o) const { return !(*this == o); }
};

// A stretch of the text in one style: characters [start, start + length) in
// the document's styles[style]. Small, as a document may have a run for every
// character.
struct RtfRun {
  std::uint32_t start = 0;
  std::uint32_t length = 0;
  std::uint32_t style = 0;
};

struct RtfDocument {
  // UTF-8; runs count characters (code points), not bytes.
  std::string text;
  // Each style the runs use, once.
  std::vector<RtfStyle> styles;
  // Cover the text from its start, in order, without gaps; neighbours differ
  // in style, and none is empty.
  std::deque<RtfRun> runs;
  // The text reached its cap and what followed is not shown.
  bool truncated = false;
};

// True when the bytes start with the signature "{\rtf".
bool HasRtfSignature(const char* data, std::size_t size);

// Reads `size` bytes (up to the first NUL), keeping at most `maxText`
// characters (and never more than a run's 32-bit positions hold). Bytes
// without the RTF signature are taken as UTF-8 text in the default style.
RtfDocument ReadRtf(const char* data, std::size_t size, std::size_t maxText = kRtfMaxText);
