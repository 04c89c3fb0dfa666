#pragma once

#include "toolkit/Component.h"

#include <memory>

class QTimer;

// Calls OnTimer on the GUI thread every Interval milliseconds while enabled. A tick that comes
// late is not made up for: late ticks never pile up.
class TTimer : public TComponent
{
public:
    explicit TTimer(TComponent *Owner);
    ~TTimer() override;

    bool GetEnabled() const;
    void SetEnabled(bool Enabled);
    int GetInterval() const;
    void SetInterval(int Milliseconds);

    TNotifyEvent OnTimer;

private:
    std::unique_ptr<QTimer> Clock;
    bool Enabled = true;
    int Interval = 1000;
    void Reschedule();
};
