// Judges the picture area in a screenshot of the window (a binary PPM, as `import` writes it).
//
//   picture_check frame SHOT.ppm AREA FRAME-SIZE FORMAT [COVERED]
//     The picture area shows a frame of the simulated camera's pattern at its place: every
//     visible pixel is the pattern of the frame number the picture itself carries, exactly for
//     BGR24, within the conversion's tolerance for YUYV. Prints that frame number.
//   picture_check empty SHOT.ppm AREA
//     The picture area shows nothing but the window's background.
//
// AREA is the picture area's place and layout size, X,Y,WxH, in the window; COVERED, X,Y,WxH too,
// is a control lying over the picture. A frame larger than the window reaches under the scroll
// bars and past the window's edge: only the part left visible is judged, and that part must still
// cover the picture area's layout size.

#include "pattern.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool contains(int px, int py) const
    {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
};

struct Screenshot {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;

    // Blue, green, red, the order the pattern is written in.
    void bgr(int x, int y, unsigned char out[3]) const
    {
        const unsigned char *p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
    }
    bool sameColour(int x1, int y1, int x2, int y2) const
    {
        return std::memcmp(&rgb[(static_cast<std::size_t>(y1) * width + x1) * 3],
                           &rgb[(static_cast<std::size_t>(y2) * width + x2) * 3], 3) == 0;
    }
};

[[noreturn]] void fail(const std::string &why)
{
    std::fprintf(stderr, "picture_check: %s\n", why.c_str());
    std::exit(1);
}

Screenshot readPpm(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail(std::string("cannot read ") + path);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Header: P6, width, height, maximum value, each after white space or a # comment line.
    std::size_t at = 0;
    auto token = [&] {
        for (;;) {
            while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at])))
                ++at;
            if (at < bytes.size() && bytes[at] == '#')
                at = bytes.find('\n', at);
            else
                break;
        }
        const std::size_t start = at;
        while (at < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[at])))
            ++at;
        return bytes.substr(start, at - start);
    };
    Screenshot shot;
    if (token() != "P6")
        fail(std::string(path) + " is not a binary PPM");
    shot.width = std::atoi(token().c_str());
    shot.height = std::atoi(token().c_str());
    if (token() != "255" || shot.width <= 0 || shot.height <= 0)
        fail(std::string(path) + " is not an 8-bit PPM");
    ++at; // the one white space character before the pixels
    const std::size_t size = static_cast<std::size_t>(shot.width) * shot.height * 3;
    if (bytes.size() < at + size)
        fail(std::string(path) + " is cut short");
    shot.rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
    return shot;
}

Rect parseRect(const char *text)
{
    Rect r;
    if (std::sscanf(text, "%d,%d,%dx%d", &r.x, &r.y, &r.width, &r.height) != 4)
        fail(std::string("not X,Y,WxH: ") + text);
    return r;
}

void requireInside(const Screenshot &shot, const Rect &area)
{
    if (area.x < 1 || area.y < 1 || area.x + area.width > shot.width ||
        area.y + area.height > shot.height)
        fail("the picture area does not fit in the " + std::to_string(shot.width) + "x" +
             std::to_string(shot.height) + " screenshot");
}

// The part of the window the scroll area shows, from the top-left corner. The window's background
// runs along its top row and left column up to a scroll bar or the window's edge, the picture area
// starting one step or more away from both.
Rect viewport(const Screenshot &shot, const Rect &area)
{
    Rect view{0, 0, area.x, area.y};
    while (view.width < shot.width && shot.sameColour(view.width, 0, 0, 0))
        ++view.width;
    while (view.height < shot.height && shot.sameColour(0, view.height, 0, 0))
        ++view.height;
    return view;
}

int checkFrame(const Screenshot &shot, const Rect &area, int frameWidth, int frameHeight,
               int tolerance, const Rect &covered)
{
    requireInside(shot, area);
    const Rect view = viewport(shot, area);
    const int right = std::min(area.x + frameWidth, view.width);
    const int bottom = std::min(area.y + frameHeight, view.height);
    if (right - area.x < std::min(frameWidth, area.width) ||
        bottom - area.y < std::min(frameHeight, area.height))
        fail("only " + std::to_string(right - area.x) + "x" + std::to_string(bottom - area.y) +
             " of the picture is visible, less than the picture area");

    unsigned char codeRow[3 * 2 * FAKECAM_FRAME_CODE_BITS];
    const int codeWidth = std::min(right - area.x, 2 * FAKECAM_FRAME_CODE_BITS);
    for (int x = 0; x < codeWidth; ++x)
        shot.bgr(area.x + x, area.y, codeRow + 3 * x);
    const unsigned frame = fakecam_frame_number(codeRow, codeWidth);

    const char *const channelNames[] = {"blue", "green", "red"};
    long wrong = 0;
    std::string first;
    for (int y = area.y; y < bottom; ++y)
        for (int x = area.x; x < right; ++x) {
            if (covered.contains(x, y))
                continue;
            unsigned char got[3], want[3];
            shot.bgr(x, y, got);
            fakecam_pattern_bgr(frame, frameWidth, frameHeight, x - area.x, y - area.y, want);
            for (int c = 0; c < 3; ++c)
                if (std::abs(got[c] - want[c]) > tolerance) {
                    if (wrong++ == 0)
                        first = "window pixel (" + std::to_string(x) + "," + std::to_string(y) +
                                ") has " + channelNames[c] + " " + std::to_string(got[c]) +
                                ", want " + std::to_string(want[c]);
                    break;
                }
        }
    if (wrong > 0)
        fail(std::to_string(wrong) + " pixels differ from frame " + std::to_string(frame) +
             " of the pattern; the first: " + first);
    return static_cast<int>(frame);
}

void checkEmpty(const Screenshot &shot, const Rect &area)
{
    requireInside(shot, area);
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
            if (!shot.sameColour(x, y, 0, 0))
                fail("window pixel (" + std::to_string(x) + "," + std::to_string(y) +
                     ") is not the background");
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "frame" && (argc == 6 || argc == 7)) {
        int width = 0, height = 0;
        if (std::sscanf(argv[4], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0)
            fail(std::string("not a frame size: ") + argv[4]);
        const std::string format = argv[5];
        if (format != "BGR24" && format != "YUYV")
            fail("not a pixel format: " + format);
        const int tolerance = format == "YUYV" ? FAKECAM_YUYV_TOLERANCE : 0;
        const Rect covered = argc == 7 ? parseRect(argv[6]) : Rect{};
        std::printf("%d\n", checkFrame(readPpm(argv[2]), parseRect(argv[3]), width, height,
                                       tolerance, covered));
        return 0;
    }
    if (mode == "empty" && argc == 4) {
        checkEmpty(readPpm(argv[2]), parseRect(argv[3]));
        return 0;
    }
    std::fprintf(stderr,
                 "usage: %s frame SHOT.ppm X,Y,WxH WIDTHxHEIGHT BGR24|YUYV [X,Y,WxH]\n"
                 "       %s empty SHOT.ppm X,Y,WxH\n",
                 argv[0], argv[0]);
    return 2;
}
