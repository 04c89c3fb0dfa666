#include "toolkit/Form.h"

#include "Dispatch.h"
#include "FormWindow.h"
#include "toolkit/Application.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace toolkit {

void FitScrollRange(QWidget *client)
{
    if (!client)
        return;
    // Bounded by the largest widget Qt makes, which a control at the far edge may already be.
    const QRect extent = client->childrenRect();
    client->setMinimumSize(std::clamp(extent.x() + extent.width(), 0, QWIDGETSIZE_MAX),
                           std::clamp(extent.y() + extent.height(), 0, QWIDGETSIZE_MAX));
}

} // namespace toolkit

FormWindow::FormWindow(TForm &form)
    : form(form), scroll(new QScrollArea(this)), client(new QWidget)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(client);
    client->setAutoFillBackground(true);
}

void FormWindow::SetOuterSize(QSize size)
{
    outerSize = size;
    frameFitted = false;
    resize(size);
    FitFrame();
}

void FormWindow::FitFrame()
{
    // The frame is known only once the window manager has decorated the window; until then the
    // window itself takes the whole outer size, as it keeps to where there is no window manager.
    if (frameFitted || !isVisible())
        return;
    const QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isEmpty())
        return;
    frameFitted = true;
    resize(outerSize - frame);
}

bool FormWindow::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::Show || event->type() == QEvent::Move)
        FitFrame();
    return handled;
}

void FormWindow::closeEvent(QCloseEvent *event)
{
    TCloseAction action = caHide;
    const bool handled = toolkit::Dispatch([&] {
        if (form.OnClose)
            form.OnClose(&form, action);
    });
    if (!handled || action == caNone) {
        event->ignore();
        return;
    }
    event->accept();
    if (Application && Application->GetMainForm() == &form)
        QCoreApplication::exit(0);
}

TForm::TForm(TComponent *Owner) : TComponent(Owner), Window(std::make_unique<FormWindow>(*this)) {}

TForm::~TForm()
{
    // The controls go first, while the window that holds their widgets still exists.
    DestroyComponents();
}

void TForm::Show() { Window->show(); }
void TForm::Close() { Window->close(); }

QWidget *TForm::Handle() const { return Window.get(); }
QWidget *TForm::ClientHandle() const { return Window->Client(); }
