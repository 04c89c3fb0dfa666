#pragma once

#include "camera/Capture.h"

#include <functional>
#include <vector>

// A camera of the tests' own behind the adapter's four operations, linked in place of the real
// one: it opens or not as told, reports the size it is given, and hands out the frames queued.
struct FakeCamera {
    bool opens = true;
    double reportedWidth = 640;
    double reportedHeight = 480;
    // Each query takes the next entry; a null entry is "no frame".
    std::vector<camera::Frame *> frames;
    // What every query gets once the queue has run out: null for "no frame", or one record handed
    // out again and again, as a capture that keeps sending does.
    camera::Frame *steadyFrame = nullptr;

    int opened = 0;
    int openedSelector = 0; // what the last open asked for
    int released = 0;
    int queried = 0;
    std::function<void()> onRelease; // runs as a release begins

    static FakeCamera &Instance();
    void Reset() { *this = FakeCamera(); }
};
