#include "camera/FrameRows.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <limits>

namespace camera {

bool HasDisplayableRows(const Frame &frame)
{
    if (frame.depth != 8 || (frame.nChannels != 1 && frame.nChannels != 3 && frame.nChannels != 4))
        return false;
    if (frame.width < 0 || frame.height < 0)
        return false;
    if (frame.width == 0 || frame.height == 0)
        return true;
    const long long rowBytes = static_cast<long long>(frame.width) * frame.nChannels;
    return frame.imageData != nullptr && frame.widthStep >= rowBytes &&
           rowBytes * 3 / frame.nChannels <= std::numeric_limits<int>::max();
}

void ConvertRowToBgr(const Frame &frame, int row, std::uint8_t *bgr)
{
    const int type = CV_8UC(frame.nChannels);
    char *source = frame.imageData + static_cast<std::ptrdiff_t>(row) * frame.widthStep;
    const cv::Mat from(1, frame.width, type, source);
    cv::Mat to(1, frame.width, CV_8UC3, bgr);
    switch (frame.nChannels) {
    case 1:
        cv::cvtColor(from, to, cv::COLOR_GRAY2BGR);
        break;
    case 4:
        cv::cvtColor(from, to, cv::COLOR_BGRA2BGR);
        break;
    default:
        from.copyTo(to);
        break;
    }
}

} // namespace camera
