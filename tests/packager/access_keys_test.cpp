// The access-key warnings of "packager check", on the wizard's own page tables.
#include "tools/packager/access_keys.h"

#include <gtest/gtest.h>

#include "tests/packager/packager_test_util.h"

// Pages may share a key (98 is on every one); "&&" shows a "&" and is no key; case does not count.
TEST(AccessKeys, OneKeyForTwoControlsOfAPageOrAKeyInOneLanguageOnly) {
  TableSet tables;
  Problems problems, warnings;
  ParseTextFile("common.txt", "== 98\n&Cancel\n", &tables.tables[kTableCommon], &problems);
  ParseTextFile("en.txt", "== 127\nR&&D &Remove\n== 128\n&rest\n== 140\nOpen &&\n", &tables.tables[kTableLanguage0],
                &problems);
  ParseTextFile("pl.txt", "== 127\nU&suń\n== 128\nU&stawienia\n== 140\n&Otwórz\n", &tables.tables[kTableLanguage1],
                &problems);
  ReviewAccessKeys(tables, &warnings);
  const std::string same = "; give each control of a page a key of its own\n";
  EXPECT_EQ(Joined(warnings),
            "en.txt:3: text 128 (welcome page): access key \"R\" is also that of text 127 (en.txt:1)" + same +
                "pl.txt:3: text 128 (welcome page): access key \"S\" is also that of text 127 (pl.txt:1)" + same +
                "en.txt:5: text 140 (welcome page): no access key here, but \"O\" in pl.txt:5; give its control a "
                "key in every language\n");
}
