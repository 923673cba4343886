#include "platform/controls/StdCtrls.h"

#include "platform/controls/Form.h"
#include "platform/window/WindowSystem.h"

#include <algorithm>

namespace {

void Span(DrawList& list, int left, int top, int right, int bottom, TColor color, const RECT& clip)
{
    AddFill(list, {left, top, right, bottom}, clip, color);
}

// A polyline of horizontal and vertical segments that leaves out each segment's last point, as
// the window system's line drawing does; each segment is one span.
void PolyLine(DrawList& list, std::initializer_list<POINT> points, TColor color, const RECT& clip)
{
    const POINT* prev = nullptr;
    for (const POINT& p : points) {
        if (prev != nullptr && (p.x != prev->x || p.y != prev->y)) {
            if (p.y == prev->y)  // horizontal: from prev->x up to, not including, p.x
                Span(list, p.x > prev->x ? prev->x : p.x + 1, p.y, p.x > prev->x ? p.x : prev->x + 1, p.y + 1, color,
                     clip);
            else  // vertical
                Span(list, p.x, p.y > prev->y ? prev->y : p.y + 1, p.x + 1, p.y > prev->y ? p.y : prev->y + 1, color,
                     clip);
        }
        prev = &p;
    }
}

}  // namespace

TLabel::TLabel(TComponent* owner) : TControl(owner) {}

void TLabel::SetCaption(const std::string& caption)
{
    if (caption == caption_)
        return;
    caption_ = caption;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetAutoSize(bool autoSize)
{
    autoSize_ = autoSize;
    AdjustBounds();
}

void TLabel::SetTransparent(bool transparent)
{
    transparent_ = transparent;
    Invalidate();
}

void TLabel::SetFont(const TFont& font)
{
    TControl::SetFont(font);
    AdjustBounds();
}

void TLabel::Loaded()
{
    TControl::Loaded();
    AdjustBounds();
}

void TLabel::AdjustBounds()
{
    if (!autoSize_ || IsLoading() || !HasWindowSystem())
        return;
    TSize size = CurrentWindowSystem().MeasureText(Font(), caption_);
    int left = Left();
    if (alignment_ == TAlignment::taRightJustify)
        left += Width() - size.cx;
    SetBounds(left, Top(), size.cx, size.cy);
}

void TLabel::Paint(DrawList& list, int originX, int originY, const RECT& clip) const
{
    RECT box{originX + Left(), originY + Top(), originX + Left() + Width(), originY + Top() + Height()};
    RECT visible = IntersectRect(box, clip);
    if (IsRectEmpty(visible))
        return;
    if (!transparent_) {
        AddFill(list, box, visible, Color());
    }
    if (caption_.empty())
        return;
    DrawCommand text;
    text.kind = DrawCommand::Kind::Text;
    text.rect = box;
    text.clip = visible;
    text.color = Font().Color;
    text.font = Font();
    text.text = caption_;
    list.push_back(text);
}

TBevel::TBevel(TComponent* owner) : TControl(owner) {}

void TBevel::Paint(DrawList& list, int originX, int originY, const RECT& clip) const
{
    int l = originX + Left();
    int t = originY + Top();
    int r = l + Width() - 1;
    int b = t + Height() - 1;
    TColor first = style_ == TBevelStyle::bsLowered ? clBtnShadow : clBtnHighlight;
    TColor second = style_ == TBevelStyle::bsLowered ? clBtnHighlight : clBtnShadow;
    PolyLine(list, {{l, b}, {l, t}, {r, t}}, first, clip);
    PolyLine(list, {{r, t}, {r, b}, {l, b}}, second, clip);
}

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {}

void TPanel::SetAlign(TAlign align)
{
    align_ = align;
    Realign();
}

void TPanel::SetParent(TWinControl* parent)
{
    TWinControl::SetParent(parent);
    Realign();
}

void TPanel::Realign()
{
    if (align_ != TAlign::alClient || Parent() == nullptr)
        return;
    if (auto* form = dynamic_cast<TForm*>(Parent()))
        SetBounds(0, 0, form->ClientWidth(), form->ClientHeight());
    else
        SetBounds(0, 0, Parent()->Width(), Parent()->Height());
}
