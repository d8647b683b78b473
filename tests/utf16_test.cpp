// Text between UTF-8 and UTF-16, as names and messages pass between the tool
// and Windows. Portable code, tested on every system.

#include "system/utf16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Every name reaches the system as the user wrote it and comes back the
// same, also a name with an unpaired surrogate, which Windows allows and
// which a converter that substitutes U+FFFD would make unreachable.
TEST(Utf16, NamesConvertBothWaysLosslessly) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const std::vector<Case> cases = {
      {"", u""},
      {"stream0.log", u"stream0.log"},
      {"\xc3\xa9", u"\u00e9"},
      {"\xe6\x97\xa5\xe6\x9c\xac \xc3\xa9.log", u"\u65e5\u672c \u00e9.log"},
      {"\xf0\x9f\x98\x80.log", u"\xd83d\xde00.log"},            // outside the BMP: a surrogate pair
      {"\xf4\x8f\xbf\xbf", u"\xdbff\xdfff"},                    // U+10FFFF, the last there is
      {"a\xed\xa0\x80z", u"a\xd800z"},                          // an unpaired high surrogate
      {"\xed\xb0\x80", u"\xdc00"},                              // an unpaired low surrogate
      {"\xed\xa0\xbd\xf0\x9f\x98\x80", u"\xd83d\xd83d\xde00"},  // one before a pair
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    EXPECT_EQ(toUtf16(c.utf8), c.utf16);
    EXPECT_EQ(toUtf8(c.utf16), c.utf8);
  }
}

// A byte that starts no valid sequence becomes one U+FFFD, and what follows
// it is read afresh.
TEST(Utf16, BytesThatAreNoUtf8BecomeReplacementCharacters) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const std::vector<Case> cases = {
      {"\xff", u"\xfffd"},
      {"\x80z", u"\xfffdz"},                              // a continuation byte alone
      {"a\xc3", u"a\xfffd"},                              // cut short at the end
      {"\xe6\x97x", u"\xfffd\xfffdx"},                    // cut short before an ASCII letter
      {"\xc0\xaf", u"\xfffd\xfffd"},                      // overlong
      {"\xe0\x80\xaf", u"\xfffd\xfffd\xfffd"},            // overlong
      {"\xf0\x8f\xbf\xbf", u"\xfffd\xfffd\xfffd\xfffd"},  // overlong, four bytes
      {"\xf4\x90\x80\x80", u"\xfffd\xfffd\xfffd\xfffd"},  // past U+10FFFF
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    EXPECT_EQ(toUtf16(c.utf8), c.utf16);
  }
}
