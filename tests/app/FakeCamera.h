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
    // Each query takes the next entry; a null entry, or an empty queue, is "no frame".
    std::vector<camera::Frame *> frames;

    int opened = 0;
    int released = 0;
    int queried = 0;
    std::function<void()> onRelease; // runs as a release begins

    static FakeCamera &Instance();
    void Reset() { *this = FakeCamera(); }
};
