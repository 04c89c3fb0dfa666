#include "camera/Capture.h"

#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>
#include <opencv2/videoio/registry.hpp>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace camera {

struct Capture {
    // waitAny takes a list of cameras and reports the ready ones in a list; both are kept here so
    // that asking for a frame allocates nothing once the first frame has come.
    std::vector<cv::VideoCapture> cameras{1};
    std::vector<int> ready;
    cv::Mat picture;
    Frame frame{};
    bool streaming = false;
    bool gone = false;
};

namespace {

// How long a frame query may wait for the camera: long enough to count as "look, don't wait"
// (a zero timeout would wait forever), short enough never to hold the GUI thread.
constexpr std::int64_t FrameWaitNanoseconds = 1;

int BackEnd(int selector)
{
    const auto requested = static_cast<cv::VideoCaptureAPIs>(selector / 100 * 100);
    if (cv::videoio_registry::hasBackend(requested))
        return requested;
    return cv::CAP_V4L2;
}

void PrepareOpenCv()
{
    // The program keeps no log: a camera that cannot be opened is reported by a null capture.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    // OpenCV's V4L2 back end waits for the first frame of a stream itself, up to this many
    // seconds, before it looks at the timeout it was given; with 0 it only looks. It reads the
    // setting once, at its first wait.
    setenv("OPENCV_VIDEOIO_V4L_SELECT_TIMEOUT", "0", 1);
}

} // namespace

Capture *CreateCameraCapture(int selector)
{
    PrepareOpenCv();
    auto capture = std::make_unique<Capture>();
    capture->ready.reserve(1);
    try {
        if (!capture->cameras[0].open(selector % 100, BackEnd(selector)))
            return nullptr;
    } catch (const cv::Exception &) {
        return nullptr;
    }
    return capture.release();
}

double GetCaptureProperty(Capture *capture, int property)
{
    try {
        return capture->cameras[0].get(property);
    } catch (const cv::Exception &) {
        return 0;
    }
}

Frame *QueryFrame(Capture *capture)
{
    if (capture->gone)
        return nullptr;
    cv::Mat &picture = capture->picture;
    const bool starting = !capture->streaming;
    capture->streaming = true;
    try {
        if (!cv::VideoCapture::waitAny(capture->cameras, capture->ready, FrameWaitNanoseconds) ||
            !capture->cameras[0].retrieve(picture) || picture.empty())
            return nullptr;
    } catch (const cv::Exception &) {
        // The first query starts the stream and throws when its first frame is not there yet;
        // later, throwing is how OpenCV reports a camera that went away, and it stays gone.
        capture->gone = !starting;
        return nullptr;
    }
    capture->frame = Frame{picture.cols,
                           picture.rows,
                           static_cast<int>(picture.elemSize1() * 8),
                           picture.channels(),
                           static_cast<int>(picture.step[0]),
                           reinterpret_cast<char *>(picture.data)};
    return &capture->frame;
}

void ReleaseCapture(Capture **capture)
{
    delete *capture; // cv::VideoCapture closes the camera as it goes
    *capture = nullptr;
}

} // namespace camera
