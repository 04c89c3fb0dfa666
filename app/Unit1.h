#pragma once

#include "camera/Capture.h"
#include "toolkit/Button.h"
#include "toolkit/Form.h"
#include "toolkit/Graphics.h"
#include "toolkit/Image.h"
#include "toolkit/Timer.h"

// The viewer's one window: a picture area, a start button and the frame timer.
class TForm1 : public TForm
{
public: // published: the layout binds these by name
    TTimer *Timer = nullptr;
    TImage *Image = nullptr;
    TButton *Button1 = nullptr;
    void Button1Click(TObject *Sender);
    void FormClose(TObject *Sender, TCloseAction &Action);
    void TimerTimer(TObject *Sender);

public:
    camera::Capture *Capture = nullptr; // the open camera, or null
    camera::Frame *Frame = nullptr;     // the frame last queried; the capture owns it
    void CopyFrameToBitmap(camera::Frame *Frame, TBitmap *Bitmap);

    explicit TForm1(TComponent *Owner);
    static TPublished<TForm1> Published();
};

extern TForm1 *Form1;
