#pragma once

// The camera, reached through four operations: open by selector, read a property, query the next
// frame, release. A capture and its frames are used from one thread only.

namespace camera {

// An open camera. Opaque: made by CreateCameraCapture, freed by ReleaseCapture.
struct Capture;

// One picture from the camera. It belongs to the capture: valid until the next QueryFrame or the
// release, and never freed by its user.
struct Frame {
    int width;     // pixels
    int height;    // pixels
    int depth;     // bits per sample: 8 for unsigned 8-bit samples
    int nChannels; // samples per pixel
    int widthStep; // bytes from the start of one row to the start of the next
    char *imageData; // first byte of the top row
};

// The selector is a back-end code (a multiple of 100) plus a device index: 702 asks for the
// DirectShow back end and device 2. Where that back end does not exist, the platform's own camera
// back end serves with the same index. Returns null when no camera could be opened.
Capture *CreateCameraCapture(int selector);

// Property 3 is the frame width and 4 the frame height; 0 where the camera does not say.
double GetCaptureProperty(Capture *capture, int property);

// The camera's next frame, or null when none is ready yet or the camera has gone. Never waits for
// the camera, so it can be called from the GUI thread.
Frame *QueryFrame(Capture *capture);

// Closes the camera and frees the capture; the handle is null afterwards.
void ReleaseCapture(Capture **capture);

} // namespace camera
