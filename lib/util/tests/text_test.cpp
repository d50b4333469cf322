#include "util/text.h"

#include <gtest/gtest.h>

namespace zepa::util {
namespace {

TEST(Text, CaseFoldingTouchesOnlyAsciiLetters) {
  EXPECT_EQ(ToLowerAscii("VTL5128C-x_9@[`{"), "vtl5128c-x_9@[`{");
  EXPECT_EQ(ToUpperAscii("pv\xE9z"), "PV\xE9Z");  // a byte above 127 is left as it is
}

TEST(Text, ComparisonsIgnoreCaseOnly) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  };
  for (const Case& c : {Case{"PV", "pv", true}, Case{"Pv", "pV", true}, Case{"pv", "pv ", false},
                        Case{"", "", true}, Case{"@", "`", false}, Case{"[", "{", false}}) {
    EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
  }
  EXPECT_TRUE(EndsWithIgnoreCase("chain.JBF", ".jbf"));
  EXPECT_FALSE(EndsWithIgnoreCase("bf", ".jbf"));
}

}  // namespace
}  // namespace zepa::util
