#include "rtfreader.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <wx/string.h>

namespace {

// The runs as "[flags]text" pieces: b, i, u, the size in half points (s24)
// and the colour (#rrggbb); "[]" is the control's own style.
std::wstring Wide(const RtfDocument& doc) {
  return wxString::FromUTF8(doc.text.data(), doc.text.size()).ToStdWstring();
}

std::string Describe(const RtfDocument& doc) {
  const std::wstring text = Wide(doc);
  std::string out;
  for (const RtfRun& r : doc.runs) {
    const RtfStyle& style = doc.styles.at(r.style);
    std::string flags;
    const auto add = [&flags](const std::string& f) { flags += (flags.empty() ? "" : " ") + f; };
    if (style.bold) add("b");
    if (style.italic) add("i");
    if (style.underline) add("u");
    if (style.halfPoints) add("s" + std::to_string(style.halfPoints));
    if (style.coloured) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "#%02x%02x%02x", style.colour.red, style.colour.green,
                    style.colour.blue);
      add(hex);
    }
    out += "[" + flags + "]" + wxString(text.substr(r.start, r.length)).utf8_string();
  }
  return out;
}

// What every document must satisfy for the view to apply it.
void ExpectWellFormed(const RtfDocument& doc) {
  const std::wstring text = Wide(doc);
  // Valid UTF-8: it comes back unchanged from the wide form.
  EXPECT_EQ(wxString(text).utf8_string(), doc.text);
  std::size_t at = 0;
  for (std::size_t i = 0; i < doc.runs.size(); ++i) {
    const RtfRun& run = doc.runs[i];
    EXPECT_EQ(run.start, at) << "run " << i;
    EXPECT_GT(run.length, 0u) << "run " << i;
    ASSERT_LT(run.style, doc.styles.size()) << "run " << i;
    if (i > 0) {
      EXPECT_NE(run.style, doc.runs[i - 1].style) << "run " << i;
    }
    at += run.length;
  }
  EXPECT_EQ(at, text.size());
  for (std::size_t i = 0; i < doc.styles.size(); ++i)
    for (std::size_t j = i + 1; j < doc.styles.size(); ++j) EXPECT_NE(doc.styles[i], doc.styles[j]);
  EXPECT_LE(text.size(), kRtfMaxText);
  for (wchar_t c : text) {
    EXPECT_TRUE(c >= 0x20 || c == L'\n' || c == L'\t') << "control character " << int(c);
    EXPECT_FALSE(c >= 0xD800 && c < 0xE000) << "surrogate " << int(c);
  }
}

RtfDocument Read(const std::string& bytes) { return ReadRtf(bytes.data(), bytes.size()); }

std::string Nested(std::size_t depth, const std::string& inner) {
  return std::string(depth, '{') + inner + std::string(depth, '}');
}

struct Case {
  const char* name;
  std::string rtf;
  std::string shown;  // Describe() of the result, UTF-8
};

class RtfReaderDocuments : public ::testing::TestWithParam<Case> {};

TEST_P(RtfReaderDocuments, ShowsTextAndStyles) {
  const RtfDocument doc = Read(GetParam().rtf);
  EXPECT_EQ(Describe(doc), GetParam().shown);
  EXPECT_FALSE(doc.truncated);
  ExpectWellFormed(doc);
}

const Case kDocuments[] = {
    {"Plain", R"({\rtf1\ansi\deff0 Hello, world.})", "[]Hello, world."},
    {"LineBreaksInTheSourceAreNotText", "{\\rtf1 a\r\nb\nc}", "[]abc"},
    {"Bold_Italic_Underline", R"({\rtf1 a{\b b}{\i i}{\ul u\ulnone n}\uldb d\ul0 e\b x\b0 y})",
     "[]a[b]b[i]i[u]u[]n[u]d[]e[b]x[]y"},
    {"SizeAndColours",
     R"({\rtf1{\colortbl;\red255\green0\blue0;\red0\green0\blue255;}\fs40 big\cf1 red\cf2 blue\cf0 auto\plain plain\cf9 nine})",
     "[s40]big[s40 #ff0000]red[s40 #0000ff]blue[s40]auto[]plainnine"},
    {"ColourTableWithoutAuto", R"({\rtf1{\colortbl\red1\green2\blue3;}\cf0 a\cf1 b})", "[#010203]a[]b"},
    {"FontSizeBounds", R"({\rtf1\fs a\fs0 b\fs-4 c\fs99999 d})", "[s24]a[]bc[s3276]d"},
    {"Paragraphs", "{\\rtf1 one\\par two\\line three\\tab four\\cell five\\row\\\nsix\\par}",
     "[]one\ntwo\nthree\tfour\tfive\n\nsix\n"},
    {"EscapedSymbols", R"({\rtf1 \{x\}\\ a\~b\_c\-d\:e})",
     "[]{x}\\ a\xC2\xA0"
     "b\xE2\x80\x91"
     "cde"},
    {"NamedCharacters", R"({\rtf1 \emdash\endash\bullet\lquote\rquote\ldblquote\rdblquote})",
     "[]\xE2\x80\x94\xE2\x80\x93\xE2\x80\xA2\xE2\x80\x98\xE2\x80\x99\xE2\x80\x9C\xE2\x80\x9D"},
    {"UnknownWordsShowNothing", R"({\rtf1\foo12 a\qc\sa120 b\ltrch c})", "[]abc"},
    {"UnicodeWithFallback", R"({\rtf1 caf\u233?s \uc2\u8364xx! \uc0\u916 .})",
     "[]caf\xC3\xA9s \xE2\x82\xAC! \xCE\x94."},
    {"UnicodeFallbackIsAByte", R"({\rtf1\uc1\u8364\'80x})",
     "[]\xE2\x82\xAC"
     "x"},
    {"UnicodeFallbackEndsWithTheGroup", R"({\rtf1{\uc3\u916 a}bc})",
     "[]\xCE\x94"
     "bc"},
    {"UnicodeSurrogatePair", R"({\rtf1\uc0\u-10179\u-8704 z})", "[]\xF0\x9F\x98\x80z"},
    {"UnicodeLoneSurrogate", R"({\rtf1\uc0\u-10179 x\u-8704 y})", "[]\xEF\xBF\xBDx\xEF\xBF\xBDy"},
    {"UnicodeControlAndOutOfRange", R"({\rtf1\uc0 a\u0 b\u7 c\u9999999 d})",
     "[]abc\xEF\xBF\xBD"
     "d"},
    {"CodePage1252", R"({\rtf1\ansi\ansicpg1252 caf\'e9 \'80\'81})",
     "[]caf\xC3\xA9 \xE2\x82\xAC\xEF\xBF\xBD"},
    {"CodePage1251", R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8})", "[]\xD0\x9F\xD1\x80\xD0\xB8"},
    {"CodePage932TwoBytes", R"({\rtf1\ansi\ansicpg932 \'82\'a0!})", "[]\xE3\x81\x82!"},
    {"CodePage932CutSequence", R"({\rtf1\ansi\ansicpg932 \'82 x})", "[]\xEF\xBF\xBD x"},
    {"MacCodePage", R"({\rtf1\mac \'8e})", "[]\xC3\xA9"},
    {"UnknownCodePageReadsAs1252", R"({\rtf1\ansicpg99999 \'e9})", "[]\xC3\xA9"},
    {"ControlBytesDropped", R"({\rtf1 a\'00\'0d\'09b})", "[]a\tb"},
    {"RawHighBytesReadAsCodePage", "{\\rtf1 caf\xE9}", "[]caf\xC3\xA9"},
    {"BadHexIsText", R"({\rtf1 a\'zz})", "[]azz"},
    {"NestedGroups", R"({\rtf1 {\b a{\i b{\ul c}d}e}f})", "[b]a[b i]b[b i u]c[b i]d[b]e[]f"},
    {"SkippedDestinations",
     R"({\rtf1{\fonttbl{\f0\fswiss Arial;}}{\stylesheet{\s1 Heading;}}{\*\generator Writer;}{\info{\title T}}{\header h}{\*\unknown{\b x}}A})",
     "[]A"},
    {"FieldShowsItsResult", R"({\rtf1{\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}}})", "[]link"},
    {"PictureWithBinaryData", "{\\rtf1{\\pict\\bin3 }}}}shown}", "[]shown"},
    {"BinaryOutsideAPicture", R"({\rtf1 a\bin2 xyb})", "[]ab"},
    {"DestinationWordLaterInAGroupIsNoDestination", R"({\rtf1{\b\fonttbl x}})", "[b]x"},
    {"MissingClosingBraces", R"({\rtf1 a{\b b{\i c)", "[]a[b]b[b i]c"},
    {"TextAfterTheOutermostGroupIsNotRead", R"({\rtf1 {\b x}}}y)", "[b]x"},
    {"ExtraBytesAfterTheDocument", "{\\rtf1 a}garbage\xFF", "[]a"},
    {"TruncatedInAByte", R"({\rtf1 ab\'e)", "[]ab"},
    {"TruncatedInAWord", R"({\rtf1 ab\pa)", "[]ab"},
    {"TruncatedAfterABackslash", "{\\rtf1 ab\\", "[]ab"},
    {"TruncatedInAPicture", R"({\rtf1 a{\pict 0123)", "[]a"},
    {"BinaryLongerThanTheBlock", R"({\rtf1 a\bin999999 xyz)", "[]a"},
    {"SignatureOnly", "{\\rtf", ""},
    {"DeepNestingKeepsTheOuterStates", "{\\rtf1 a" + Nested(100000, "\\b x") + " y}", "[]a[b]x[] y"},
    {"DeepNestingInASkippedGroup", "{\\rtf1{\\*\\x" + Nested(50000, "hidden") + "}z}", "[]z"},
    {"NotRtfIsUtf8Text", "plain caf\xC3\xA9", "[]plain caf\xC3\xA9"},
    {"NotRtfWithBadUtf8",
     "a\xFF"
     "b",
     "[]a\xEF\xBF\xBD"
     "b"},
    {"Empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, RtfReaderDocuments, ::testing::ValuesIn(kDocuments),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(RtfReader, StopsAtTheFirstNul) {
  const std::string rtf("{\\rtf1 ab\0cd}", 13);
  EXPECT_EQ(Describe(Read(rtf)), "[]ab");
  const std::string plain("ab\0cd", 5);
  EXPECT_EQ(Describe(Read(plain)), "[]ab");
  // A NUL before the signature ends: no RTF at all.
  EXPECT_EQ(Read(std::string("{\\r\0tf1 x}", 10)).text, "{\\r");
}

TEST(RtfReader, CutsTheTextAtTheCap) {
  for (const std::string& doc :
       {"{\\rtf1 " + std::string(kRtfMaxText + 10, 'a') + "}", std::string(kRtfMaxText + 10, 'a'),
        "{\\rtf1 " + std::string(kRtfMaxText - 1, 'a') + "\\uc0\\u8364\\u8364\\u8364 }"}) {
    const RtfDocument read = Read(doc);
    EXPECT_EQ(Wide(read).size(), kRtfMaxText);
    EXPECT_TRUE(read.truncated);
    ExpectWellFormed(read);
  }
  const RtfDocument exact = Read("{\\rtf1 " + std::string(kRtfMaxText, 'a') + "}");
  EXPECT_EQ(Wide(exact).size(), kRtfMaxText);
  EXPECT_FALSE(exact.truncated);
  // A cap of the caller's own, counted in characters, not bytes.
  const std::string euros = "{\\rtf1\\uc0\\u8364\\u8364\\u8364 }";
  const RtfDocument two = ReadRtf(euros.data(), euros.size(), 2);
  EXPECT_EQ(Describe(two), "[]\xE2\x82\xAC\xE2\x82\xAC");
  EXPECT_TRUE(two.truncated);
  const std::string plain = "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC";
  EXPECT_EQ(Describe(ReadRtf(plain.data(), plain.size(), 2)), "[]\xE2\x82\xAC\xE2\x82\xAC");
  EXPECT_TRUE(ReadRtf(plain.data(), plain.size(), 2).truncated);
  EXPECT_FALSE(ReadRtf(plain.data(), plain.size(), 3).truncated);
}

TEST(RtfReader, KeepsAtMostTheCappedNumberOfColours) {
  std::string table = "{\\colortbl;";
  for (std::size_t i = 1; i < kRtfMaxColours + 5; ++i) table += "\\red" + std::to_string(i % 256) + ";";
  const std::string last = std::to_string(kRtfMaxColours - 1);
  const std::string beyond = std::to_string(kRtfMaxColours);
  const RtfDocument doc = Read("{\\rtf1" + table + "}\\cf" + last + " a\\cf" + beyond + " b}");
  EXPECT_EQ(Describe(doc), "[#ff0000]a[]b");  // entry 1023 is red 1023 % 256 = 255
}

TEST(RtfReader, Signature) {
  EXPECT_TRUE(HasRtfSignature("{\\rtf1", 6));
  EXPECT_TRUE(HasRtfSignature("{\\rtf", 5));
  EXPECT_FALSE(HasRtfSignature("{\\rt", 4));
  EXPECT_FALSE(HasRtfSignature(" {\\rtf1", 7));
  EXPECT_FALSE(HasRtfSignature(nullptr, 0));
}

}  // namespace
