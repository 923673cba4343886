#pragma once

#include "platform/controls/Control.h"

#include <string>

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TAlign { alNone, alClient };
enum class TBevelShape { bsBox };
enum class TBevelStyle { bsLowered, bsRaised };

// A text element drawn on its parent. It sizes itself to its text when loaded and whenever its
// caption or font changes; a right-aligned label keeps its right edge.
class TLabel : public TControl {
public:
    explicit TLabel(TComponent* owner);

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment) { alignment_ = alignment; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    void SetFont(const TFont& font) override;

    void Loaded() override;
    void Paint(DrawList& list, int originX, int originY, const RECT& clip) const override;

private:
    void AdjustBounds();

    std::string caption_;
    TAlignment alignment_ = TAlignment::taLeftJustify;
    bool autoSize_ = true;
    bool transparent_ = false;
};

// A box outline drawn with lines only: first the left and top sides in the shadow colour, then
// the right and bottom sides in the highlight colour (lowered style).
class TBevel : public TControl {
public:
    explicit TBevel(TComponent* owner);
    TBevelShape Shape() const { return shape_; }
    TBevelStyle Style() const { return style_; }
    void SetStyle(TBevelStyle style) { style_ = style; }
    void Paint(DrawList& list, int originX, int originY, const RECT& clip) const override;

private:
    TBevelShape shape_ = TBevelShape::bsBox;
    TBevelStyle style_ = TBevelStyle::bsLowered;
};

// A child window with a background colour and elements of its own.
class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* owner);
    TAlign Align() const { return align_; }
    // alClient keeps the panel over its parent's whole client area.
    void SetAlign(TAlign align);
    void SetParent(TWinControl* parent) override;
    void Realign();

private:
    TAlign align_ = TAlign::alNone;
};
