#include "platform/core/CommaText.h"

namespace {

bool IsSpaceOrControl(char c)
{
    auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

}  // namespace

std::vector<std::string> SplitCommaText(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> items;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsSpaceOrControl(text[i]))
        ++i;
    while (i < n) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item.push_back(text[i++]);
            }
        } else {
            std::size_t start = i;
            while (i < n && !IsSpaceOrControl(text[i]) && text[i] != ',')
                ++i;
            item.assign(text.substr(start, i - start));
        }
        items.push_back(std::move(item));
        while (i < n && IsSpaceOrControl(text[i]))
            ++i;
        if (i < n && text[i] == ',') {
            do
                ++i;
            while (i < n && IsSpaceOrControl(text[i]));
        }
    }
    return items;
}
