// "HTML Format" built around HTML from X11 clients and taken apart again.
#include "html_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using platform::x11::detail::BuildHtmlFormat;
using platform::x11::detail::HtmlFromHtmlFormat;

std::size_t Offset(const std::string& block, const char* key) {
  std::size_t p = block.find(key);
  return p == std::string::npos ? std::string::npos : std::stoul(block.substr(p + std::strlen(key)));
}

struct Case {
  const char* name;
  std::string html;
  std::string fragment;
};

TEST(HtmlFormat, TheHeaderPointsAtTheDocumentAndTheFragment) {
  const Case cases[] = {
      {"bare fragment", "<b>x</b> y", "<b>x</b> y"},
      {"whole document", "<html><head><title>t</title></head><body class=\"a\"><p>p</p></body></html>", "<p>p</p>"},
      {"marked fragment", "<html><body>a<!--StartFragment--><i>m</i><!--EndFragment-->b</body></html>", "<i>m</i>"},
      {"upper-case body", "<HTML><BODY><P>q</P></BODY></HTML>", "<P>q</P>"},
      {"trailing NULs", std::string("<u>z</u>\0\0", 10), "<u>z</u>"},
      {"empty", "", ""},
      {"unicode", "<p>caf\xC3\xA9 \xE2\x82\xAC</p>", "<p>caf\xC3\xA9 \xE2\x82\xAC</p>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string block = BuildHtmlFormat(c.html);
    ASSERT_EQ(block.rfind("Version:0.9\r\n", 0), 0u);
    std::size_t hs = Offset(block, "StartHTML:"), he = Offset(block, "EndHTML:");
    std::size_t fs = Offset(block, "StartFragment:"), fe = Offset(block, "EndFragment:");
    ASSERT_TRUE(hs <= fs && fs <= fe && fe <= he && he == block.size());
    EXPECT_EQ(block.substr(fs, fe - fs), c.fragment);
    // And back: the document, which holds the producer's HTML.
    std::string back = HtmlFromHtmlFormat(block + '\0');
    EXPECT_NE(back.find(c.fragment), std::string::npos);
    EXPECT_EQ(back, block.substr(hs));
  }
}

TEST(HtmlFormat, ABlockWhoseHeaderLiesGivesItsMarkupOrNothing) {
  EXPECT_EQ(HtmlFromHtmlFormat("Version:0.9\r\nStartHTML:0000009999\r\nEndHTML:0000099999\r\n<p>x</p>"), "<p>x</p>");
  EXPECT_EQ(HtmlFromHtmlFormat("Version:0.9\r\nStartHTML:-1\r\nEndHTML:-1\r\nStartFragment:0000000080\r\n"), "");
  EXPECT_EQ(HtmlFromHtmlFormat("no markup at all"), "");
  EXPECT_EQ(HtmlFromHtmlFormat(""), "");
}

}  // namespace
