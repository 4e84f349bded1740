#include <gtest/gtest.h>

#include "text/DisplayText.h"

namespace koru {
namespace {

TEST(DisplayText, Utf8StaysAndAnythingElseIsReadAsWindows1252) {
    EXPECT_EQ(DisplayUtf8("plain ASCII"), "plain ASCII");
    EXPECT_EQ(DisplayUtf8("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x92\x93"),
              "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x92\x93");
    EXPECT_EQ(DisplayUtf8("caf\xe9"), "caf\xc3\xa9");
    EXPECT_EQ(DisplayUtf8("\x80 \x93x\x94 \x9f"),
              "\xe2\x82\xac \xe2\x80\x9cx\xe2\x80\x9d \xc5\xb8");
    // Not UTF-8: overlong forms, surrogates, cut sequences.
    for (const char* bad : {"\xc0\xaf", "\xed\xa0\x80", "ab\xc3", "\xf4\x90\x80\x80"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(IsValidUtf8(bad));
        EXPECT_TRUE(IsValidUtf8(DisplayUtf8(bad)));
    }
    EXPECT_EQ(DisplayUtf8("ab\xc3"), "ab\xc3\x83");
}

}  // namespace
}  // namespace koru
