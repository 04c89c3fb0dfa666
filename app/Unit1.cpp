#include "Unit1.h"

#include "camera/FrameRows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

TForm1 *Form1 = nullptr;

namespace {

constexpr int CameraSelector = 702; // DirectShow back end (700), device 2
constexpr int FrameWidthProperty = 3;
constexpr int FrameHeightProperty = 4;

// Truncates toward zero, as a plain cast does, but gives 0 for what a cast could not hold: a
// camera that reports nonsense must not make the conversion undefined.
int TruncatedPixels(double reported)
{
    if (!(reported > -1.0))
        return 0;
    if (reported >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(reported);
}

} // namespace

TForm1::TForm1(TComponent *Owner) : TForm(Owner) {}

TPublished<TForm1> TForm1::Published()
{
    return TPublished<TForm1>("TForm1")
        .Field("Timer", &TForm1::Timer)
        .Field("Image", &TForm1::Image)
        .Field("Button1", &TForm1::Button1)
        .Handler("Button1Click", &TForm1::Button1Click)
        .Handler("FormClose", &TForm1::FormClose)
        .Handler("TimerTimer", &TForm1::TimerTimer);
}

void TForm1::Button1Click(TObject *)
{
    Form1->SetDoubleBuffered(true);
    // A press while the camera is open starts over: the open capture is released first, so it is
    // never lost, and a camera that went away can be opened again.
    if (Capture) {
        Timer->SetEnabled(false);
        camera::ReleaseCapture(&Capture);
    }
    Capture = camera::CreateCameraCapture(CameraSelector);
    if (!Capture)
        return;
    const int width = TruncatedPixels(camera::GetCaptureProperty(Capture, FrameWidthProperty));
    const int height = TruncatedPixels(camera::GetCaptureProperty(Capture, FrameHeightProperty));
    Image->SetWidth(width);
    Image->SetHeight(height);
    Timer->SetEnabled(true);
}

void TForm1::FormClose(TObject *, TCloseAction &)
{
    Timer->SetEnabled(false);
    if (Capture) {
        camera::ReleaseCapture(&Capture);
        Capture = nullptr;
    }
}

void TForm1::TimerTimer(TObject *)
{
    Frame = camera::QueryFrame(Capture);
    if (!Frame)
        return; // no frame ready yet, or the camera has gone: the last picture stays
    CopyFrameToBitmap(Frame, Image->GetPicture()->GetBitmap());
    Image->Refresh();
}

void TForm1::CopyFrameToBitmap(camera::Frame *Frame, TBitmap *Bitmap)
{
    // Frames of other sample kinds, or whose fields contradict each other, leave the bitmap
    // as it was.
    if (!Frame || !camera::HasDisplayableRows(*Frame))
        return;
    Bitmap->SetWidth(Frame->width);
    Bitmap->SetHeight(Frame->height);
    Bitmap->SetPixelFormat(pf24bit);
    if (Frame->width == 0)
        return;
    // A 3-channel frame's rows are the bitmap's rows, byte for byte; a row longer than the
    // bitmap's, padding and all, is cut to it.
    const int rowBytes = std::min(Frame->widthStep, BytesPerScanline(Frame->width, pf24bit));
    const char *source = Frame->imageData;
    for (int row = 0; row < Frame->height; ++row, source += Frame->widthStep) {
        if (Frame->nChannels == 3)
            std::memcpy(Bitmap->GetScanline(row), source, rowBytes);
        else
            camera::ConvertRowToBgr(*Frame, row, Bitmap->GetScanline(row));
    }
}
