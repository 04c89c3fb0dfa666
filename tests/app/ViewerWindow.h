#pragma once

#include "FakeCamera.h"
#include "Unit1.h"

#include "toolkit/Application.h"

// The viewer's window made as the program makes it, over a fresh fake camera, and closed as the
// program closes it when the test is done, so that an open camera is released.
class ViewerWindow
{
public:
    ViewerWindow()
    {
        FakeCamera::Instance().Reset();
        Application = &application;
        Application->CreateForm(classid<TForm1>, &Form1);
    }

    ~ViewerWindow()
    {
        FakeCamera::Instance().onRelease = nullptr; // the test's own watch went with the test
        if (Form1)
            Form1->Close();
        Application = nullptr;
        Form1 = nullptr;
        FakeCamera::Instance().Reset();
    }

    ViewerWindow(const ViewerWindow &) = delete;
    ViewerWindow &operator=(const ViewerWindow &) = delete;

private:
    TApplication application; // owns the window
};
