// usb_x11_probe: what the VM script needs of an X window besides xdotool.
//   usb_x11_probe count WINDOW X Y W H RRGGBB   pixels of that colour in the rectangle
//   usb_x11_probe close WINDOW                  asks the window to close, as a window
//                                               manager's close button does
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: usb_x11_probe count WINDOW X Y W H RRGGBB | close WINDOW\n");
    return 2;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "usb_x11_probe: no display\n");
        return 1;
    }
    const Window w = std::strtoul(argv[2], nullptr, 0);
    if (std::strcmp(argv[1], "count") == 0 && argc == 8) {
        const int x = std::atoi(argv[3]), y = std::atoi(argv[4]);
        const unsigned width = std::strtoul(argv[5], nullptr, 10), height = std::strtoul(argv[6], nullptr, 10);
        const unsigned long rgb = std::strtoul(argv[7], nullptr, 16);
        XImage* img = XGetImage(dpy, w, x, y, width, height, AllPlanes, ZPixmap);
        if (!img) {
            std::fprintf(stderr, "usb_x11_probe: cannot read the window\n");
            return 1;
        }
        long count = 0;
        for (unsigned j = 0; j < height; ++j)
            for (unsigned i = 0; i < width; ++i) {
                const unsigned long p = XGetPixel(img, static_cast<int>(i), static_cast<int>(j));
                const unsigned long r = (p & img->red_mask) >> __builtin_ctzl(img->red_mask);
                const unsigned long g = (p & img->green_mask) >> __builtin_ctzl(img->green_mask);
                const unsigned long b = (p & img->blue_mask) >> __builtin_ctzl(img->blue_mask);
                if (((r << 16) | (g << 8) | b) == rgb) ++count;
            }
        XDestroyImage(img);
        std::printf("%ld\n", count);
    } else if (std::strcmp(argv[1], "close") == 0 && argc == 3) {
        XSetErrorHandler(IgnoreErrors);
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy, w, False, NoEventMask, &ev);
        XSync(dpy, False);
    } else {
        return Usage();
    }
    XCloseDisplay(dpy);
    return 0;
}
