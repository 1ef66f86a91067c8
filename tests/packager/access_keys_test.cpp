// The access-key warnings of "packager check", on the wizard's own page tables.
#include "tools/packager/access_keys.h"

#include <gtest/gtest.h>

#include "tests/packager/packager_test_util.h"

namespace {

TEST(AccessKeys, OneKeyForTwoControlsOfAPageOrAKeyInOneLanguageOnly) {
  const std::string tail[] = {"; give each control of a page a key of its own\n",
                              "; give its control a key in every language\n"};
  const struct {
    const char *common, *en, *pl;
    std::string warnings;
  } cases[] = {
      // Pages may share a key (98 is on every one); "&&" shows a "&" and is no key.
      {"== 98\n&Cancel\n", "== 127\nR&&D &Remove\n== 128\n&Settings\n", "== 127\n&Usuń\n== 128\nU&stawienia\n", ""},
      {"", "== 127\n&Remove\n== 128\n&rest\n", "== 127\nU&suń\n== 128\nU&stawienia\n",
       "en.txt:3: text 128 (welcome page): access key \"R\" is also that of text 127 (en.txt:1)" + tail[0] +
           "pl.txt:3: text 128 (welcome page): access key \"S\" is also that of text 127 (pl.txt:1)" + tail[0]},
      {"", "== 140\nOpen &&\n", "== 140\n&Otwórz\n",
       "en.txt:1: text 140 (welcome page): no access key here, but \"O\" in pl.txt:1" + tail[1]},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pl);
    TableSet tables;
    Problems problems, warnings;
    ParseTextFile("common.txt", c.common, &tables.tables[kTableCommon], &problems);
    ParseTextFile("en.txt", c.en, &tables.tables[kTableLanguage0], &problems);
    ParseTextFile("pl.txt", c.pl, &tables.tables[kTableLanguage1], &problems);
    ReviewAccessKeys(tables, &warnings);
    EXPECT_EQ(Joined(warnings), c.warnings);
  }
}

}  // namespace
