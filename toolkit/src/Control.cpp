#include "toolkit/Control.h"

#include "FormWindow.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

TControl::TControl(TComponent *Owner, std::unique_ptr<QWidget> Widget)
    : TComponent(Owner), Widget(std::move(Widget))
{
}

TControl::~TControl() = default;

int TControl::GetLeft() const { return Bounds.Left; }
int TControl::GetTop() const { return Bounds.Top; }
int TControl::GetWidth() const { return Bounds.Width; }
int TControl::GetHeight() const { return Bounds.Height; }

void TControl::SetLeft(int Value) { SetBounds(Value, GetTop(), GetWidth(), GetHeight()); }
void TControl::SetTop(int Value) { SetBounds(GetLeft(), Value, GetWidth(), GetHeight()); }
void TControl::SetWidth(int Value) { SetBounds(GetLeft(), GetTop(), Value, GetHeight()); }
void TControl::SetHeight(int Value) { SetBounds(GetLeft(), GetTop(), GetWidth(), Value); }

void TControl::SetBounds(int Left, int Top, int Width, int Height)
{
    // Qt makes no widget larger than QWIDGETSIZE_MAX, whatever size is asked for.
    Bounds = {Left, Top, std::clamp(Width, 0, QWIDGETSIZE_MAX), std::clamp(Height, 0, QWIDGETSIZE_MAX)};
    // Qt places widgets in device-independent pixels; a size that falls between two of them is
    // rounded up, so nothing of the control is cut off.
    const qreal ratio = Widget->devicePixelRatioF();
    Widget->setGeometry(static_cast<int>(std::lround(Left / ratio)),
                        static_cast<int>(std::lround(Top / ratio)),
                        std::min(static_cast<int>(std::ceil(Bounds.Width / ratio)), QWIDGETSIZE_MAX),
                        std::min(static_cast<int>(std::ceil(Bounds.Height / ratio)), QWIDGETSIZE_MAX));
    toolkit::FitScrollRange(Widget->parentWidget());
}

void TControl::Refresh() { Widget->repaint(); }
