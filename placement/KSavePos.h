#pragma once

#include "placement/KSubWnd.h"

#include <string>

// Remembers where its form's window was and in which state: the placement is read when the
// window is destroyed and put back when the form's layout has been read. Where the text is kept
// is up to a descendant.
class TKSaveFormPos : public TKCustomSubWnd {
public:
    explicit TKSaveFormPos(TComponent* owner);

    // When false, the placement is neither restored nor saved (the hook stays).
    bool SaveBounds() const { return saveBounds_; }
    void SetSaveBounds(bool value) { saveBounds_ = value; }
    // When false, a saved minimised state is not restored.
    bool ResumeIconic() const { return resumeIconic_; }
    void SetResumeIconic(bool value) { resumeIconic_ = value; }

    void Loaded() override;

protected:
    void WndProc(TMessage& message) override;
    virtual void WriteText(const std::string& text) = 0;
    virtual std::string ReadText() = 0;
    virtual void SavePos();
    virtual void LoadPos();

private:
    bool saveBounds_ = true;
    bool resumeIconic_ = false;
};

// Keeps the placement in the INI file beside the executable: section "Bounds", key "<form>.Bounds".
class TKSavePosIni : public TKSaveFormPos {
public:
    using TKSaveFormPos::TKSaveFormPos;

    // The placement file: the executable's path with its extension replaced by ".ini". Built
    // afresh at every use.
    virtual std::string FileName() const;

protected:
    void WriteText(const std::string& text) override;
    std::string ReadText() override;

private:
    std::string Key() const;
};

// The executable's path with its extension replaced by ".ini"; a name without one gains ".ini".
std::string PlacementFileFor(const std::string& exeName);
