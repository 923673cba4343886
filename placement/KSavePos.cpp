#include "placement/KSavePos.h"

#include "placement/PlacementValue.h"
#include "platform/controls/Form.h"
#include "platform/core/Application.h"
#include "platform/services/Profile.h"
#include "platform/window/WindowSystem.h"

#include <unistd.h>

namespace {

constexpr const char* kSection = "Bounds";

std::vector<RECT> DisplayAreas() { return HasWindowSystem() ? CurrentWindowSystem().WorkAreas() : std::vector<RECT>{}; }

std::string ExeName()
{
    if (Application != nullptr)
        return Application->ExeName();
    char path[4096];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

TKSaveFormPos::TKSaveFormPos(TComponent* owner) : TKCustomSubWnd(owner) {}

void TKSaveFormPos::Loaded()
{
    SetHookedForm(&ComponentAs<TForm>(Owner()));
    if (!IsDesigning() && saveBounds_)
        LoadPos();
    TKCustomSubWnd::Loaded();
}

void TKSaveFormPos::WndProc(TMessage& message)
{
    if (message.Msg == WM_DESTROY && saveBounds_)
        SavePos();
    TKCustomSubWnd::WndProc(message);
}

void TKSaveFormPos::SavePos()
{
    TForm& form = ComponentAs<TForm>(Owner());
    WINDOWPLACEMENT placement;
    placement.length = sizeof(WINDOWPLACEMENT);
    // Nothing read, nothing written: zeros would put the window nowhere next time.
    if (!GetWindowPlacement(form.Handle(), &placement))
        return;
    int state = wsNormal;
    if (placement.showCmd == SW_SHOWMAXIMIZED)
        state = wsMaximized;
    // A minimised application is its own window minimised, not the main form's.
    HWND iconic = Application != nullptr && Application->MainForm() == &form ? Application->Handle() : form.Handle();
    if (IsIconic(iconic))
        state = wsMinimized;
    WriteText(FormatPlacementValue(state, placement));
}

void TKSaveFormPos::LoadPos()
{
    auto items = ParsePlacementValue(ReadText());
    if (!items)
        return;
    TForm& form = ComponentAs<TForm>(Owner());
    WINDOWPLACEMENT placement;
    placement.length = sizeof(WINDOWPLACEMENT);
    if (!GetWindowPlacement(form.Handle(), &placement))
        return;
    const RECT designed = placement.rcNormalPosition;
    placement.flags = WPF_SETMINPOSITION;

    // A state the window cannot hold (a hand-edited file) counts as no state at all.
    const auto& item = *items;
    TWindowState state = form.WindowState();
    if (item[0] && *item[0] >= wsNormal && *item[0] <= wsMaximized)
        state = static_cast<TWindowState>(*item[0]);
    if (!(state == wsMinimized && !resumeIconic_))
        form.SetWindowState(state);
    if (IsLoading())
        placement.showCmd = SW_HIDE;

    std::int32_t* fields[8] = {&placement.ptMinPosition.x,       &placement.ptMinPosition.y,
                               &placement.ptMaxPosition.x,       &placement.ptMaxPosition.y,
                               &placement.rcNormalPosition.left, &placement.rcNormalPosition.top,
                               &placement.rcNormalPosition.right, &placement.rcNormalPosition.bottom};
    for (int i = 0; i < 8; ++i)
        if (item[i + 1])
            *fields[i] = *item[i + 1];

    // A place on no display (one since removed, a hand-edited file) would leave the window
    // out of reach: it opens where it was designed to instead.
    placement.rcNormalPosition = KeepOnDisplay(placement.rcNormalPosition, designed, DisplayAreas());
    SetWindowPlacement(form.Handle(), &placement);
}

std::string PlacementFileFor(const std::string& exeName)
{
    std::size_t dot = exeName.rfind('.');
    std::size_t slash = exeName.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return exeName.substr(0, dot) + ".ini";
    return exeName + ".ini";
}

std::string TKSavePosIni::FileName() const
{
    return PlacementFileFor(ExeName());
}

std::string TKSavePosIni::Key() const { return ComponentAs<TForm>(Owner()).Name() + ".Bounds"; }

void TKSavePosIni::WriteText(const std::string& text)
{
    std::string path = FileName();
    if (!WritePrivateProfileString(kSection, Key(), text, path))
        throw Exception(path + " に書き込めません");
}

std::string TKSavePosIni::ReadText() { return GetPrivateProfileString(kSection, Key(), "", FileName()); }
