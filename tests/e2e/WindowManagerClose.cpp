// Test helper: asks a top-level window to close the way a window manager does, with a
// WM_DELETE_WINDOW client message. Usage: wm_close_request <window title>. Exit status 0
// when the request was sent, 2 when no such window takes it, 1 without a display.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

static Window FindByName(Display* display, Window parent, const char* title) {
    char* name = nullptr;
    if (XFetchName(display, parent, &name) != 0 && name != nullptr) {
        const bool same = std::strcmp(name, title) == 0;
        XFree(name);
        if (same) {
            return parent;
        }
    }
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, parent, &root, &up, &children, &count) == 0) {
        return 0;
    }
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        found = FindByName(display, children[i], title);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

static bool TakesDeleteWindow(Display* display, Window window, Atom deleteWindow) {
    Atom* protocols = nullptr;
    int count = 0;
    if (XGetWMProtocols(display, window, &protocols, &count) == 0) {
        return false;
    }
    bool takes = false;
    for (int i = 0; i < count; ++i) {
        takes = takes || protocols[i] == deleteWindow;
    }
    XFree(protocols);
    return takes;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <window title>\n", argv[0]);
        return 1;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    const Window window = FindByName(display, DefaultRootWindow(display), argv[1]);
    const Atom protocolsAtom = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    if (window == 0 || !TakesDeleteWindow(display, window, deleteWindow)) {
        XCloseDisplay(display);
        return 2;
    }
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocolsAtom;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
