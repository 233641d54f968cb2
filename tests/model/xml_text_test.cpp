// XML text: what a well-formed document can hold, and escaping that keeps names apart.
#include "model/xml_text.h"

#include <gtest/gtest.h>

namespace velkin {
namespace {

TEST(XmlText, HoldsPrintableUtf8AndTheThreeWhiteControls) {
  EXPECT_TRUE(XmlCanHold(""));
  EXPECT_TRUE(XmlCanHold("a<b>&\"'"));
  EXPECT_TRUE(XmlCanHold("tab\there\nline\rcr"));
  EXPECT_TRUE(XmlCanHold("\xC3\xBC \xE2\x82\xAC \xF0\x9F\x98\x80"));  // u-umlaut, euro, emoji
  EXPECT_FALSE(XmlCanHold(std::string("a\0b", 3)));
  EXPECT_FALSE(XmlCanHold("\x01"));
  EXPECT_FALSE(XmlCanHold("\x1F"));
  EXPECT_FALSE(XmlCanHold("\xC3"));              // cut sequence
  EXPECT_FALSE(XmlCanHold("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(XmlCanHold("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(XmlCanHold("\xEF\xBF\xBE"));      // U+FFFE
  EXPECT_FALSE(XmlCanHold("\xF4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(XmlCanHold("\x80"));              // a continuation byte alone
}

TEST(XmlText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
  EXPECT_EQ(XmlEscape("a<b>&\"'c"), "a&lt;b&gt;&amp;&quot;&apos;c");
  EXPECT_EQ(XmlEscape("\xC3\xBC\t\n"), "\xC3\xBC\t\n");
  EXPECT_EQ(XmlEscape("x\x01y"), "x?y");
  EXPECT_EQ(XmlEscape("x\xC3"), "x?");
  // Everything XmlEscape writes is text that XML holds.
  EXPECT_TRUE(XmlCanHold(XmlEscape(std::string("\x02\xFF\xC3<\0", 5))));
}

}  // namespace
}  // namespace velkin
