// Asks a window to close the way a window manager's close button does: a WM_DELETE_WINDOW message
// of the WM_PROTOCOLS kind, sent to the window itself. Usage: xclose WINDOW-ID

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s WINDOW-ID\n", argv[0]);
        return 2;
    }
    char *end = nullptr;
    const Window window = std::strtoul(argv[1], &end, 0);
    if (*end != '\0' || window == 0) {
        std::fprintf(stderr, "%s: not a window id: %s\n", argv[0], argv[1]);
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "%s: cannot open the display\n", argv[0]);
        return 1;
    }
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);

    // A window manager sends the message only to a window that asked for it.
    Atom *offered = nullptr;
    int count = 0;
    bool takesPart = false;
    if (XGetWMProtocols(display, window, &offered, &count)) {
        for (int i = 0; i < count; ++i)
            takesPart = takesPart || offered[i] == deleteWindow;
        XFree(offered);
    }
    if (!takesPart) {
        std::fprintf(stderr, "%s: window %s does not take WM_DELETE_WINDOW\n", argv[0], argv[1]);
        XCloseDisplay(display);
        return 1;
    }

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display); // flushes the message
    return 0;
}
