// The requested Windows faces resolve, through our own alias rules, to installed Japanese faces
// of a fitting weight, and text is measured with an em of N pixels.

#include "platform/sdl/SdlFonts.h"

#include <gtest/gtest.h>

namespace {

TEST(Fonts, RequestedFacesResolveToJapaneseFacesOfFittingWeight)
{
    const struct {
        const char* requested;
        bool bold;
        const char* family;    // the face chosen
        const char* fileHint;  // a part of its file name that tells the weight
        bool synthetic;
    } rows[] = {
        {"ＭＳ Ｐゴシック", false, "IPAPGothic", "ipagp", false},
        {"ＭＳ Ｐゴシック", true, "IPAPGothic", "ipagp", true},  // no bold of its own: emboldened
        {"ＤＦ特太ゴシック体", true, "IPAPGothic", "ipagp", true},
        {"ＤＦ平成ゴシック体W5", false, "M PLUS 1", "Medium", false},
        {"MS PGothic", false, "IPAPGothic", "ipagp", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.requested);
        std::string family;
        bool synthetic = false;
        std::string file = SdlFonts::Resolve(row.requested, row.bold, &family, &synthetic);
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(family, row.family);
        EXPECT_NE(file.find(row.fileHint), std::string::npos) << file;
        EXPECT_EQ(synthetic, row.synthetic);
    }
}

TEST(Fonts, AnEmOfNPixelsMakesTheTextNPixelsHighAndDigitsGrowTheWidth)
{
    SdlFonts fonts;
    const TFont count{"ＭＳ Ｐゴシック", -12, true, 0, SHIFTJIS_CHARSET};
    TSize one = fonts.Measure(count, "0");
    TSize two = fonts.Measure(count, "10");
    TSize three = fonts.Measure(count, "100");
    EXPECT_EQ(one.cy, 12);
    EXPECT_GT(one.cx, 3);
    EXPECT_GT(two.cx, one.cx);
    EXPECT_GT(three.cx, two.cx);
    const TFont digit{"ＤＦ特太ゴシック体", -96, true, 0xFFFFFF, SHIFTJIS_CHARSET};
    EXPECT_EQ(fonts.Measure(digit, "3").cy, 96) << "the digit's box stays one em tall";
    // The heading stays inside the window: it starts at 16 in a window 201 wide.
    const TFont heading{"ＤＦ特太ゴシック体", -48, true, 0xFFFFFF, SHIFTJIS_CHARSET};
    EXPECT_LE(16 + fonts.Measure(heading, "Zimbrot").cx, 201);
    // The ball's glyph is in the face: it has a width of its own, not a missing-glyph box's.
    const TFont ball{"ＭＳ Ｐゴシック", -12, false, 0xFFFFFF, SHIFTJIS_CHARSET};
    ASSERT_NE(fonts.Get(ball), nullptr);
    EXPECT_EQ(fonts.Measure(ball, "●").cy, 12);
    EXPECT_GE(fonts.Measure(ball, "●").cx, 10);
}

}  // namespace
