// libFuzzer harness for the profile-file reader and writer and the placement value parser.
#include "placement/PlacementValue.h"
#include "platform/core/CommaText.h"
#include "platform/services/Profile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);

    for (const std::string& item : SplitCommaText(text))
        Check(item.find('\0') == std::string::npos);
    (void)ParsePlacementValue(text);

    auto found = profile_text::Find(text, "Bounds", "Form1.Bounds");
    if (found) {
        Check(found->size() <= kProfileValueMax);
        (void)ParsePlacementValue(*found);
    }

    // A write sets its own key and leaves every other key as it read before.
    const char* value = "0,-1,2,3,4,368,229,-609,506";
    auto otherKey = profile_text::Find(text, "Bounds", "Form2.Bounds");
    auto otherSection = profile_text::Find(text, "Other", "Form1.Bounds");
    auto written = profile_text::Write(text, "Bounds", "Form1.Bounds", value);
    Check(written.has_value());
    Check(profile_text::Find(*written, "Bounds", "Form1.Bounds") == value);
    Check(profile_text::Find(*written, "Bounds", "Form2.Bounds") == otherKey);
    Check(profile_text::Find(*written, "Other", "Form1.Bounds") == otherSection);

    // Any nine integers come back as they were written.
    if (size >= 36) {
        std::int32_t n[9];
        std::memcpy(n, data, sizeof n);
        WINDOWPLACEMENT p;
        p.ptMinPosition = {n[1], n[2]};
        p.ptMaxPosition = {n[3], n[4]};
        p.rcNormalPosition = {n[5], n[6], n[7], n[8]};
        auto items = ParsePlacementValue(FormatPlacementValue(n[0], p));
        Check(items.has_value());
        for (int i = 0; i < 9; ++i)
            Check((*items)[i] == n[i]);
    }
    return 0;
}
