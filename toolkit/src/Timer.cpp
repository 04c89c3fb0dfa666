#include "toolkit/Timer.h"

#include "Dispatch.h"

#include <QTimer>

TTimer::TTimer(TComponent *Owner) : TComponent(Owner), Clock(std::make_unique<QTimer>())
{
    // A precise timer never fires early, so ticks come at most once an interval; QTimer skips
    // ticks it could not deliver in time instead of queueing them.
    Clock->setTimerType(Qt::PreciseTimer);
    QObject::connect(Clock.get(), &QTimer::timeout, Clock.get(), [this] {
        toolkit::Dispatch([this] {
            if (OnTimer)
                OnTimer(this);
        });
    });
    Reschedule();
}

TTimer::~TTimer() = default;

bool TTimer::GetEnabled() const { return Enabled; }
int TTimer::GetInterval() const { return Interval; }

void TTimer::SetEnabled(bool Value)
{
    Enabled = Value;
    Reschedule();
}

void TTimer::SetInterval(int Milliseconds)
{
    Interval = Milliseconds;
    Reschedule();
}

void TTimer::Reschedule()
{
    if (Enabled && Interval > 0)
        Clock->start(Interval);
    else
        Clock->stop();
}
