// The switches: every form a deployment writes, and the malformed ones that must change nothing.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
  std::vector<const WChar*> arguments;
  int bad;  // -1: every switch read
};

TEST(Switches, ReadOrRefused) {
  const Case cases[] = {
      {{U16("/quiet"), U16("/norestart"), U16("/log"), U16("C:\\setup.log")}, -1},
      {{U16("-Q"), U16("/X"), U16("/?")}, -1},
      {{U16("/variant"), U16("2"), U16("/decimalkey"), U16("Comma"), U16("/language"), U16("0407"), U16("/default"), U16("no")}, -1},
      {{U16("/switchkeys"), U16("yes"), U16("/desktoplinks"), U16("NO"), U16("/altimage"), U16("yes"), U16("/key"), U16("3A=A2"), U16("/key"), U16("e05b=15d")}, -1},
      {{U16("/quiet"), U16("/reboot")}, 1},        // unknown
      {{U16("setup.exe")}, 0},                 // not a switch
      {{U16("/log")}, 0},                      // value missing
      {{U16("/variant"), U16("3")}, 0},            // out of range
      {{U16("/language"), U16("10415")}, 0},       // five digits
      {{U16("/default"), U16("true")}, 0},
      {{U16("/key"), U16("3A")}, 0},               // no target
      {{U16("/key"), U16("3A=G2")}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Switches out;
    int bad = -2;
    EXPECT_EQ(ParseSwitches(c.arguments.data(), static_cast<int>(c.arguments.size()),
                            out, bad),
              c.bad < 0 ? 1 : 0);
    EXPECT_EQ(bad, c.bad);
  }
  Switches out;
  int bad = 0;
  const WChar* all[] = {U16("/variant"), U16("2"), U16("/language"), U16("0407"), U16("/desktoplinks"), U16("no"), U16("/key"), U16("E05B=015D")};
  ASSERT_EQ(ParseSwitches(all, 8, out, bad), 1);
  EXPECT_EQ(out.variant, 2);
  EXPECT_EQ(out.languageId, 0x0407);
  EXPECT_EQ(out.desktopLinks, 0);
  EXPECT_EQ(out.switchKeys, -1);
  ASSERT_EQ(out.keyCount, 1);
  EXPECT_EQ(out.keys[0].scanCode, 0xE05B);
  EXPECT_EQ(out.keys[0].virtualKey, 0x015D);
}

TEST(Switches, ArgumentsAfterTheProgramsName) {
  using Text = std::basic_string<WChar>;
  EXPECT_EQ(Text(ArgumentsOf(U16("\"C:\\a b\\setup.exe\"  /quiet /log \"x y\""))), Text(U16("/quiet /log \"x y\"")));
  EXPECT_EQ(Text(ArgumentsOf(U16("setup /x"))), Text(U16("/x")));
  EXPECT_EQ(Text(ArgumentsOf(U16("setup"))), Text());
}

}  // namespace
