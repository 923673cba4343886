#include "platform/core/Exception.h"

#include <dlfcn.h>

#include <climits>
#include <cstdio>

namespace {

std::uintptr_t ImageOffset(const void* address)
{
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fbase == nullptr)
        return 0;
    return reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

}  // namespace

// Not inlined, so that the return address is the raising code (or the derived constructor
// right behind it), which is what the fatal box reports.
__attribute__((noinline)) Exception::Exception(std::string message)
    : message_(std::move(message)), exceptAddr_(ImageOffset(__builtin_return_address(0)))
{
}

Exception::~Exception() = default;

EInOutError::EInOutError(int errorCode) : Exception(MessageFor(errorCode)), errorCode_(errorCode) {}

std::string EInOutError::MessageFor(int errorCode)
{
    switch (errorCode) {
    case 2: return "ﾌｧｲﾙが見つかりません";
    case 3: return "不正なﾌｧｲﾙ名です";
    case 4: return "ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます";
    case 5: return "ﾌｧｲﾙへのｱｸｾｽが拒否されました";
    case 100: return "ﾌｧｲﾙの末尾以降を読み込みました";
    case 101: return "ﾃﾞｨｽｸがいっぱいです";
    default: return "I/O ｴﾗｰ (" + std::to_string(errorCode) + ")";
    }
}

bool TryStrToInt(const std::string& text, std::int32_t& value)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i < text.size() && text[i] == '$') {
        ++i;
        std::size_t digits = 0;
        std::uint32_t hex = 0;
        for (; i < text.size(); ++i, ++digits) {
            char c = text[i];
            int d = (c >= '0' && c <= '9') ? c - '0'
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                           : -1;
            if (d < 0 || digits == 8)
                return false;
            hex = hex << 4 | static_cast<std::uint32_t>(d);
        }
        if (digits == 0)
            return false;
        // Hex text is a bit pattern: $FFFFFFFF is -1.
        std::int32_t bits = static_cast<std::int32_t>(hex);
        value = negative ? static_cast<std::int32_t>(0u - hex) : bits;
        return true;
    }
    std::int64_t magnitude = 0;
    std::size_t digits = 0;
    for (; i < text.size(); ++i, ++digits) {
        char c = text[i];
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > std::int64_t{INT_MAX} + 1)
            return false;
    }
    if (digits == 0)
        return false;
    std::int64_t result = negative ? -magnitude : magnitude;
    if (result > INT_MAX || result < INT_MIN)
        return false;
    value = static_cast<std::int32_t>(result);
    return true;
}

std::int32_t StrToInt(const std::string& text)
{
    std::int32_t value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError("'" + text + "' は整数ではありません");
    return value;
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }
