#include "toolkit/Button.h"

#include "Dispatch.h"
#include "toolkit/Exception.h"

#include <QPushButton>

TButton::TButton(TComponent *Owner) : TControl(Owner, std::make_unique<QPushButton>())
{
    auto *button = static_cast<QPushButton *>(Handle());
    QObject::connect(button, &QPushButton::clicked, button, [this] {
        toolkit::Dispatch([this] {
            if (OnClick)
                OnClick(this);
        });
    });
}

std::string TButton::GetCaption() const
{
    return static_cast<QPushButton *>(Handle())->text().toStdString();
}

void TButton::SetCaption(const std::string &Caption)
{
    static_cast<QPushButton *>(Handle())->setText(QString::fromStdString(Caption));
}

void TButton::SetTabOrder(int TabOrder)
{
    // The button is the one control that takes focus, so it is first in the tab chain whatever
    // its place; only a place before the start is wrong.
    if (TabOrder < 0)
        throw Exception("Tab order " + std::to_string(TabOrder) + " is out of range");
}
