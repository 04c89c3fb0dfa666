// Reads the fake camera through OpenCV's V4L2 back end, the way the viewer
// does, and checks every frame against the pattern.
//
//   fakecam_probe [--frames N]       read N frames (default 10), check each
//   fakecam_probe --read-only N      read N frames as fast as they come, no checks
//   fakecam_probe --expect-unplug N  good frames up to frame N-1, then reading must fail
//   fakecam_probe --expect-replug N  as --expect-unplug, then the camera opens again
//                                    once FAKECAM_REPLUG_FILE exists, and streams anew
//   fakecam_probe --expect-stall     opens, but no frame ever arrives
//   fakecam_probe --expect-absent    opening must fail
//   fakecam_probe --self-test        no camera: prove the check catches frame faults
//
// FAKECAM_SIZE and FAKECAM_FORMAT tell it what to expect, as they tell the
// preloaded library what to send.
#include "pattern.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

struct Expected {
    int width = 640, height = 480;
    bool yuyv = false;
    int tolerance() const { return yuyv ? FAKECAM_YUYV_TOLERANCE : 0; }
};

Expected expected_from_env()
{
    Expected e;
    if (const char *size = std::getenv("FAKECAM_SIZE"))
        std::sscanf(size, "%dx%d", &e.width, &e.height);
    const char *format = std::getenv("FAKECAM_FORMAT");
    e.yuyv = format && std::strcmp(format, "YUYV") == 0;
    return e;
}

// Empty if img is the pattern of the frame number it carries (stored in *frame).
std::string check_frame(const cv::Mat &img, const Expected &e, unsigned *frame)
{
    if (img.cols != e.width || img.rows != e.height || img.type() != CV_8UC3)
        return cv::format("got a %dx%d picture of type %d, want %dx%d CV_8UC3", img.cols,
                          img.rows, img.type(), e.width, e.height);
    *frame = fakecam_frame_number(img.ptr(0), img.cols);
    for (int y = 0; y < img.rows; ++y) {
        const unsigned char *row = img.ptr(y);
        for (int x = 0; x < img.cols; ++x) {
            unsigned char want[3];
            fakecam_pattern_bgr(*frame, e.width, e.height, x, y, want);
            for (int c = 0; c < 3; ++c)
                if (std::abs(row[3 * x + c] - want[c]) > e.tolerance())
                    return cv::format("frame %u pixel (%d,%d) channel %d is %d, want %d", *frame,
                                      x, y, c, row[3 * x + c], want[c]);
        }
    }
    return {};
}

// The picture OpenCV hands over for a frame, made without a camera.
cv::Mat render(unsigned frame, const Expected &e)
{
    cv::Mat out;
    if (e.yuyv) {
        cv::Mat yuyv(e.height, e.width, CV_8UC2);
        for (int y = 0; y < e.height; ++y)
            fakecam_pattern_yuyv_row(frame, e.width, e.height, y, yuyv.ptr(y));
        cv::cvtColor(yuyv, out, cv::COLOR_YUV2BGR_YUYV);
    } else {
        out.create(e.height, e.width, CV_8UC3);
        for (int y = 0; y < e.height; ++y)
            for (int x = 0; x < e.width; ++x)
                fakecam_pattern_bgr(frame, e.width, e.height, x, y, out.ptr(y) + 3 * x);
    }
    return out;
}

int self_test()
{
    struct Fault {
        const char *name;
        std::function<cv::Mat(unsigned frame, const Expected &)> make;
    };
    const Fault faults[] = {
        {"vertical flip",
         [](unsigned f, const Expected &e) {
             cv::Mat m;
             cv::flip(render(f, e), m, 0);
             return m;
         }},
        {"blue and red swapped",
         [](unsigned f, const Expected &e) {
             cv::Mat m;
             cv::cvtColor(render(f, e), m, cv::COLOR_BGR2RGB);
             return m;
         }},
        {"shifted right by one pixel",
         [](unsigned f, const Expected &e) {
             cv::Mat good = render(f, e), m = good.clone();
             good.colRange(0, e.width - 1).copyTo(m.colRange(1, e.width));
             return m;
         }},
        {"rows read with a stride one pixel short",
         [](unsigned f, const Expected &e) {
             cv::Mat good = render(f, e), m(e.height, e.width, CV_8UC3);
             for (int y = 0; y < e.height; ++y)
                 std::memcpy(m.ptr(y), good.data + y * (good.step - 3), m.step);
             return m;
         }},
        {"previous frame delivered again",
         [](unsigned f, const Expected &e) { return render(f - 1, e); }},
    };
    int failures = 0;
    for (bool yuyv : {false, true}) {
        Expected e;
        e.width = 320;
        e.height = 240;
        e.yuyv = yuyv;
        const char *format = yuyv ? "YUYV" : "BGR24";
        for (unsigned frame : {1u, 77u, 1000u, 65537u}) {
            unsigned got = 0;
            std::string problem = check_frame(render(frame, e), e, &got);
            if (!problem.empty() || got != frame) {
                std::printf("FAIL %s frame %u: a correct frame is rejected: %s (read frame %u)\n",
                            format, frame, problem.c_str(), got);
                ++failures;
            }
            for (const Fault &fault : faults) {
                bool caught = !check_frame(fault.make(frame, e), e, &got).empty() || got != frame;
                if (!caught) {
                    std::printf("FAIL %s frame %u: %s goes unnoticed\n", format, frame, fault.name);
                    ++failures;
                }
            }
        }
    }
    std::printf("fakecam_probe: self-test %s\n", failures ? "FAILED" : "passed");
    return failures ? 1 : 0;
}

int fail(const std::string &why)
{
    std::printf("fakecam_probe: FAIL: %s\n", why.c_str());
    return 1;
}

// Reads up to max_frames, checking each; returns how many were good, or -1
// (after printing why) on a bad one. *last is the last good frame's number.
int read_checked(cv::VideoCapture &cap, const Expected &e, int max_frames, unsigned *last)
{
    cv::Mat img;
    unsigned &previous = *last;
    for (int i = 0; i < max_frames; ++i) {
        if (!cap.read(img))
            return i;
        unsigned frame = 0;
        std::string problem = check_frame(img, e, &frame);
        if (problem.empty() && i > 0 && frame != previous + 1)
            problem = cv::format("frame %u follows frame %u", frame, previous);
        if (!problem.empty()) {
            fail(problem);
            return -1;
        }
        previous = frame;
    }
    return max_frames;
}

// Opens the camera and checks OpenCV reports the size the device streams.
bool open_camera(cv::VideoCapture &cap, const Expected &e)
{
    if (!cap.open(2, cv::CAP_V4L2)) {
        fail("cannot open camera 2 with CAP_V4L2");
        return false;
    }
    const int width = int(cap.get(cv::CAP_PROP_FRAME_WIDTH));
    const int height = int(cap.get(cv::CAP_PROP_FRAME_HEIGHT));
    if (width != e.width || height != e.height) {
        fail(cv::format("OpenCV reports %dx%d, want %dx%d", width, height, e.width, e.height));
        return false;
    }
    return true;
}

// Judged by frame number, not by count: OpenCV throws away the first frame
// after STREAMON, so the program sees one frame fewer than the device hands
// out. Asks for more than should come: the read after the last frame must
// fail rather than hang.
bool reads_until_unplug(cv::VideoCapture &cap, const Expected &e, int unplug_after)
{
    unsigned last = 0;
    const int good = read_checked(cap, e, unplug_after + 3, &last);
    if (good < 0)
        return false;
    if (good == 0 || last + 1 != unsigned(unplug_after)) {
        fail(cv::format("%d frames read, the last being frame %u; want frame %d last", good, last,
                        unplug_after - 1));
        return false;
    }
    return true;
}

int replug(const Expected &e, int unplug_after)
{
    const char *marker = std::getenv("FAKECAM_REPLUG_FILE");
    if (!marker)
        return fail("FAKECAM_REPLUG_FILE is not set");
    std::remove(marker);
    cv::VideoCapture cap;
    if (!open_camera(cap, e) || !reads_until_unplug(cap, e, unplug_after))
        return 1;
    cap.release();
    if (cap.open(2, cv::CAP_V4L2))
        return fail("the unplugged camera opened again before it was plugged back");
    if (std::FILE *f = std::fopen(marker, "w"))
        std::fclose(f);
    else
        return fail(std::string("cannot create ") + marker);
    unsigned last = 0;
    if (!open_camera(cap, e) || read_checked(cap, e, 1, &last) != 1)
        return fail("the replugged camera does not stream");
    if (last > 1)
        return fail(cv::format("the replugged camera carried on at frame %u", last));
    std::printf("fakecam_probe: OK, unplugged after frame %d, streams again once replugged\n",
                unplug_after - 1);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "--frames";
    const int count = argc > 2 ? std::atoi(argv[2]) : 10;
    if (mode == "--self-test")
        return self_test();

    const Expected e = expected_from_env();
    const char *format = e.yuyv ? "YUYV" : "BGR24";
    cv::VideoCapture cap;
    if (mode == "--expect-absent") {
        if (cap.open(2, cv::CAP_V4L2))
            return fail("the camera opened although it should be absent");
        std::printf("fakecam_probe: OK, the absent camera does not open\n");
        return 0;
    }
    if (mode == "--expect-replug")
        return replug(e, count);
    if (!open_camera(cap, e))
        return 1;

    if (mode == "--read-only") {
        cv::Mat img;
        const auto start = std::chrono::steady_clock::now();
        int n = 0;
        while (n < count && cap.read(img))
            ++n;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("fakecam_probe: read %d frames %dx%d in %.3f s (%.1f fps)\n", n, img.cols,
                    img.rows, seconds, seconds > 0 ? n / seconds : 0.0);
        return n == count ? 0 : 1;
    }
    if (mode == "--expect-stall") {
        cv::Mat img;
        if (cap.read(img))
            return fail("a frame arrived from the stalled camera");
        std::printf("fakecam_probe: OK, the stalled camera delivers nothing\n");
        return 0;
    }
    if (mode == "--expect-unplug") {
        if (!reads_until_unplug(cap, e, count))
            return 1;
        std::printf("fakecam_probe: OK, frames up to %d %dx%d %s, then reading fails\n",
                    count - 1, e.width, e.height, format);
        return 0;
    }
    if (mode != "--frames")
        return fail("unknown mode " + mode);
    unsigned last = 0;
    const int good = read_checked(cap, e, count, &last);
    if (good < 0)
        return 1;
    if (good != count)
        return fail(cv::format("reading failed after %d of %d frames", good, count));
    std::printf("fakecam_probe: OK, %d frames %dx%d %s match the pattern\n", good, e.width,
                e.height, format);
    return 0;
}
