#pragma once

#include "toolkit/Component.h"

#include <memory>

class QWidget;

// A visible control placed on a form. Sizes and positions are in screen pixels, the pixels a
// camera picture is drawn in, whatever the screen's scale factor.
class TControl : public TComponent
{
public:
    ~TControl() override;

    int GetLeft() const;
    int GetTop() const;
    int GetWidth() const;
    int GetHeight() const;
    void SetLeft(int Value);
    void SetTop(int Value);
    void SetWidth(int Value);
    void SetHeight(int Value);

    // Repaints the control before returning, so what it shows is on the screen now.
    void Refresh();

    // The widget behind the control: for the toolkit itself and for tests that look at pixels.
    QWidget *Handle() const { return Widget.get(); }

protected:
    TControl(TComponent *Owner, std::unique_ptr<QWidget> Widget);

private:
    void SetBounds(int Left, int Top, int Width, int Height);

    struct TBounds {
        int Left = 0, Top = 0, Width = 0, Height = 0;
    };
    TBounds Bounds;
    std::unique_ptr<QWidget> Widget;
};
