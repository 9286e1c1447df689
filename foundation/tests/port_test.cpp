#include "cmn/port.h"

#include <gtest/gtest.h>

namespace {
TEST(ParsePort, AcceptsWholeNumbersFromZeroTo65535) {
  struct Case {
    const char* text;
    bool valid;
    int port;
  } cases[] = {
      {"0", true, 0},          {"65535", true, 65535}, {" 80", true, 80}, {"+80", true, 80},
      {"45689", true, 45689},  {"", false, 0},         {"65536", false, 0}, {"-1", false, 0},
      {"80 ", false, 0},       {"8o", false, 0},       {"0x50", false, 0}, {"-0", true, 0},
      {"4294967376", false, 0},  // 80 once cut to 32 bits
      {"99999999999999999999999", false, 0},
  };
  for (const Case& c : cases) {
    int port = -7;
    EXPECT_EQ(cmn::wx::ParsePort(c.text, &port), c.valid) << '"' << c.text << '"';
    EXPECT_EQ(port, c.valid ? c.port : -7) << '"' << c.text << '"';
  }
}
}  // namespace
