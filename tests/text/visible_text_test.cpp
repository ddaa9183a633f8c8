#include <gtest/gtest.h>

#include "support/case_name.hpp"
#include "text/visible_text.hpp"

namespace vardex::unicode {
namespace {

struct Shown { const char* name; std::string text, shown; };

class VisibleText : public ::testing::TestWithParam<Shown> {};

TEST_P(VisibleText, WritesOutWhatWouldDrawNothingOrReorder) { EXPECT_EQ(visibleText(GetParam().text), GetParam().shown); }

INSTANTIATE_TEST_SUITE_P(Characters, VisibleText, ::testing::Values(
        Shown{"plainCommandUnchanged", "git commit -m 'café ✓'", "git commit -m 'café ✓'"},
        Shown{"lineFeedAndTabLayOut", "a\n\tb", "a\n\tb"},
        Shown{"carriageReturnAndEscape", "ok\r\x1b[2Krm -rf ~", "ok⟨U+000D⟩⟨U+001B⟩[2Krm -rf ~"},
        Shown{"nulInTheMiddle", std::string("a\0b", 3), "a⟨U+0000⟩b"},
        Shown{"deleteAndNextLine", "a\x7f" "b\u0085c", "a⟨U+007F⟩b⟨U+0085⟩c"},
        Shown{"rightToLeftOverride", "ls \u202Etxt.exe", "ls ⟨U+202E⟩txt.exe"},
        Shown{"isolatesAndMarks", "\u2066a\u2069\u200E\u200F\u061C", "⟨U+2066⟩a⟨U+2069⟩⟨U+200E⟩⟨U+200F⟩⟨U+061C⟩"},
        Shown{"zeroWidth", "r\u200Bm\u200C\u200D\u2060\uFEFF", "r⟨U+200B⟩m⟨U+200C⟩⟨U+200D⟩⟨U+2060⟩⟨U+FEFF⟩"},
        Shown{"lineAndParagraphSeparators", "a\u2028b\u2029", "a⟨U+2028⟩b⟨U+2029⟩"},
        Shown{"tagCharacters", "ok\U000E0041", "ok⟨U+E0041⟩"},
        Shown{"hangulFiller", "x\u3164y", "x⟨U+3164⟩y"},
        Shown{"strayBytes", "a\xff\xc3", "a⟨0xFF⟩⟨0xC3⟩"}), testing::caseName);

}  // namespace
}  // namespace vardex::unicode
