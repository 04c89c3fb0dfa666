#pragma once

#include "camera/Capture.h"

#include <cstdint>

namespace camera {

// Whether the frame holds a picture that can be shown: 8-bit samples, grey (1 channel),
// blue-green-red (3) or blue-green-red-alpha (4), and fields that agree with each other, so
// that reading its rows stays inside its data.
bool HasDisplayableRows(const Frame &frame);

// Writes row `row` of a displayable frame as frame.width pixels of blue, green, red bytes to
// `bgr`, converting grey and dropping alpha.
void ConvertRowToBgr(const Frame &frame, int row, std::uint8_t *bgr);

} // namespace camera
