#pragma once

#include "toolkit/Control.h"

#include <string>

class TButton : public TControl
{
public:
    explicit TButton(TComponent *Owner);

    std::string GetCaption() const;
    void SetCaption(const std::string &Caption);
    void SetTabOrder(int TabOrder);

    TNotifyEvent OnClick;
};
