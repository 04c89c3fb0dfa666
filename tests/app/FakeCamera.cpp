#include "FakeCamera.h"

namespace camera {

struct Capture {
    int selector;
};

Capture *CreateCameraCapture(int selector)
{
    FakeCamera &fake = FakeCamera::Instance();
    fake.openedSelector = selector;
    if (!fake.opens)
        return nullptr;
    ++fake.opened;
    return new Capture{selector};
}

double GetCaptureProperty(Capture *, int property)
{
    const FakeCamera &fake = FakeCamera::Instance();
    return property == 3 ? fake.reportedWidth : property == 4 ? fake.reportedHeight : 0;
}

Frame *QueryFrame(Capture *)
{
    FakeCamera &fake = FakeCamera::Instance();
    const auto next = static_cast<std::size_t>(fake.queried++);
    return next < fake.frames.size() ? fake.frames[next] : fake.steadyFrame;
}

void ReleaseCapture(Capture **capture)
{
    FakeCamera &fake = FakeCamera::Instance();
    if (fake.onRelease)
        fake.onRelease();
    ++fake.released;
    delete *capture;
    *capture = nullptr;
}

} // namespace camera

FakeCamera &FakeCamera::Instance()
{
    static FakeCamera fake;
    return fake;
}
