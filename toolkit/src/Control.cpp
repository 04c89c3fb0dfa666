#include "toolkit/Control.h"

#include "FormWindow.h"

#include <QWidget>

#include <algorithm>

TControl::TControl(TComponent *Owner, std::unique_ptr<QWidget> Widget)
    : TComponent(Owner), Widget(std::move(Widget))
{
}

TControl::~TControl() = default;

int TControl::GetLeft() const { return Widget->x(); }
int TControl::GetTop() const { return Widget->y(); }
int TControl::GetWidth() const { return Widget->width(); }
int TControl::GetHeight() const { return Widget->height(); }

void TControl::SetLeft(int Value) { SetBounds(Value, GetTop(), GetWidth(), GetHeight()); }
void TControl::SetTop(int Value) { SetBounds(GetLeft(), Value, GetWidth(), GetHeight()); }
void TControl::SetWidth(int Value) { SetBounds(GetLeft(), GetTop(), Value, GetHeight()); }
void TControl::SetHeight(int Value) { SetBounds(GetLeft(), GetTop(), GetWidth(), Value); }

void TControl::SetBounds(int Left, int Top, int Width, int Height)
{
    // Qt makes no widget larger than QWIDGETSIZE_MAX, whatever size is asked for.
    Widget->setGeometry(Left, Top, std::clamp(Width, 0, QWIDGETSIZE_MAX),
                        std::clamp(Height, 0, QWIDGETSIZE_MAX));
    toolkit::FitScrollRange(Widget->parentWidget());
}

void TControl::Refresh() { Widget->repaint(); }
