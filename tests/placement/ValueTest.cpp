#include "placement/PlacementValue.h"
#include "platform/core/CommaText.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using Items = std::vector<std::string>;

TEST(CommaText, SplitsByTheCommaTextRule)
{
    const struct {
        std::string text;
        Items items;
    } cases[] = {
        {"", {}},
        {" \t\r\n", {}},
        {"a", {"a"}},
        {"a,b", {"a", "b"}},
        {"a , b", {"a", "b"}},
        {"  a\t,\n b  ", {"a", "b"}},
        {"a b", {"a", "b"}},
        {"a\tb", {"a", "b"}},
        {"a,,b", {"a", "", "b"}},
        {"a, ,b", {"a", "", "b"}},
        {",a", {"", "a"}},
        {"a,", {"a"}},
        {"a,,", {"a", ""}},
        {",", {""}},
        {"\"a, b\",c", {"a, b", "c"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"open, to the end", {"open, to the end"}},
        {"\"a\"b", {"a", "b"}},
        {"x\"y\"", {"x\"y\""}},
        {"\"\"", {""}},
        {std::string("a,b\0,c", 6), {"a", "b"}},
        {"\x7F,\xC3\xA9", {"\x7F", "\xC3\xA9"}},
        {"\x01" "a\x1F" "b", {"a", "b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SplitCommaText(c.text), c.items);
    }
}

TEST(TryStrToInt, ConvertsByTheRuntimeRule)
{
    const struct {
        const char* text;
        bool converts;
        std::int32_t value;
    } cases[] = {
        {"0", true, 0},
        {"368", true, 368},
        {"+5", true, 5},
        {"-5", true, -5},
        {"   42", true, 42},
        {"2147483647", true, INT_MAX},
        {"-2147483648", true, INT_MIN},
        {"000000000000000000000012", true, 12},
        {"$10", true, 16},
        {"$ff", true, 255},
        {"$7FFFFFFF", true, INT_MAX},
        {"$FFFFFFFF", true, -1},
        {"$00000001", true, 1},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"$000000001", false, 0},
        {"$123456789", false, 0},
        {"$", false, 0},
        {"$g", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"+", false, 0},
        {"-", false, 0},
        {"--1", false, 0},
        {"- 1", false, 0},
        {"1 ", false, 0},
        {"1a", false, 0},
        {"1.0", false, 0},
        {"1e3", false, 0},
        {"0x10", false, 0},
        {"\xEF\xBC\x91", false, 0},  // a full-width digit one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::int32_t value = 7777;
        EXPECT_EQ(TryStrToInt(c.text, value), c.converts);
        if (c.converts) {
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST(PlacementValue, FormatsNineIntegers)
{
    WINDOWPLACEMENT p;
    p.ptMinPosition = {-32000, -32000};
    p.ptMaxPosition = {-1, -1};
    p.rcNormalPosition = {-1200, 229, -991, 506};
    EXPECT_EQ(FormatPlacementValue(2, p), "2,-32000,-32000,-1,-1,-1200,229,-991,506");
    p.ptMinPosition = {INT_MIN, INT_MAX};
    EXPECT_EQ(FormatPlacementValue(0, p), "0,-2147483648,2147483647,-1,-1,-1200,229,-991,506");
}

TEST(PlacementValue, ParsesOnlyNineItems)
{
    using O = std::optional<std::int32_t>;
    const PlacementItems all{O{0}, O{1}, O{2}, O{3}, O{4}, O{5}, O{6}, O{7}, O{8}};
    PlacementItems noSixth = all;
    noSixth[5].reset();
    PlacementItems noFirst = all;
    noFirst[0].reset();
    const struct {
        const char* text;
        std::optional<PlacementItems> items;
    } cases[] = {
        {"0,1,2,3,4,5,6,7,8", all},
        {"0, 1 ,2 , 3,4,5,6,7,8", all},
        {" 0 1 2 3 4 5 6 7 8 ", all},
        {"0,1,2,3,4,5,6,7,8,", all},
        {"\"0\",1,2,3,4,5,6,7,\"8\"", all},
        {"0,1,2,3,4,$5,6,7,8", all},
        {"0,1,2,3,4,x,6,7,8", noSixth},
        {"0,1,2,3,4,,6,7,8", noSixth},
        {",1,2,3,4,5,6,7,8", noFirst},
        {"", std::nullopt},
        {"0,1,2", std::nullopt},
        {"0,1,2,3,4,5,6,7,8,9", std::nullopt},
        {"0,1,2,3,4,5,6,7,,8", std::nullopt},
        {"0,1,2,3,4,5,6,7 8 9", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParsePlacementValue(c.text), c.items);
    }
}

TEST(PlacementValue, NegativeCoordinatesComeBack)
{
    WINDOWPLACEMENT p;
    p.ptMinPosition = {-32000, -32000};
    p.ptMaxPosition = {-8, -8};
    p.rcNormalPosition = {-1500, -40, -1291, 237};
    auto items = ParsePlacementValue(FormatPlacementValue(1, p));
    ASSERT_TRUE(items);
    const std::int32_t expected[] = {1, -32000, -32000, -8, -8, -1500, -40, -1291, 237};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ((*items)[i], expected[i]) << "item " << i + 1;
}

}  // namespace
