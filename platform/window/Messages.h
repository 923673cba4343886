#pragma once

#include <cstdint>

// Window messages with the numbers the game's components know them by.
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_MOVE = 0x0003;
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_SHOWWINDOW = 0x0018;
inline constexpr std::uint32_t WM_CANCELMODE = 0x001F;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr std::uint32_t WM_MOUSELEAVE = 0x02A3;

// Button and shift state carried in wParam of the mouse messages.
inline constexpr std::int32_t MK_LBUTTON = 0x0001;
inline constexpr std::int32_t MK_RBUTTON = 0x0002;
inline constexpr std::int32_t MK_SHIFT = 0x0004;
inline constexpr std::int32_t MK_CONTROL = 0x0008;
inline constexpr std::int32_t MK_MBUTTON = 0x0010;

// Pointer coordinates packed into lParam as two signed 16-bit halves, x low.
constexpr std::int32_t MakePointParam(int x, int y)
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16) |
                                     static_cast<std::uint16_t>(x));
}
constexpr int ParamX(std::int32_t lParam) { return static_cast<std::int16_t>(lParam & 0xFFFF); }
constexpr int ParamY(std::int32_t lParam) { return static_cast<std::int16_t>((lParam >> 16) & 0xFFFF); }

// The record a component's WndProc receives: message, wParam, lParam, and the result it fills in.
struct TMessage {
    std::uint32_t Msg = 0;
    std::int32_t WParam = 0;
    std::int32_t LParam = 0;
    std::int32_t Result = 0;
};

// Show commands.
inline constexpr std::uint32_t SW_HIDE = 0;
inline constexpr std::uint32_t SW_SHOWNORMAL = 1;
inline constexpr std::uint32_t SW_SHOWMINIMIZED = 2;
inline constexpr std::uint32_t SW_SHOWMAXIMIZED = 3;
inline constexpr std::uint32_t SW_SHOWNOACTIVATE = 4;
inline constexpr std::uint32_t SW_SHOW = 5;
inline constexpr std::uint32_t SW_MINIMIZE = 6;
inline constexpr std::uint32_t SW_SHOWMINNOACTIVE = 7;
inline constexpr std::uint32_t SW_RESTORE = 9;

struct POINT {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const POINT&) const = default;
};

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const RECT&) const = default;
};

inline constexpr std::uint32_t WPF_SETMINPOSITION = 1;

struct WINDOWPLACEMENT {
    std::uint32_t length = 44;
    std::uint32_t flags = 0;
    std::uint32_t showCmd = 0;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition;  // the outer frame in screen coordinates
};
