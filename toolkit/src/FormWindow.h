#pragma once

#include <QSize>
#include <QWidget>

class QScrollArea;
class TForm;

namespace toolkit {

// Lets the client area grow with its controls, so that the scroll area shows scroll bars for
// whatever reaches past the visible part.
void FitScrollRange(QWidget *client);

} // namespace toolkit

// The top-level window behind a TForm: a scroll area over the client area that holds the
// controls.
class FormWindow : public QWidget
{
public:
    explicit FormWindow(TForm &form);

    QWidget *Client() const { return client; }

    // Outer size, the window manager's frame included once the frame is known.
    void SetOuterSize(QSize size);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    void FitFrame();

    TForm &form;
    QScrollArea *scroll;
    QWidget *client;
    QSize outerSize;
    bool frameFitted = false;
};
