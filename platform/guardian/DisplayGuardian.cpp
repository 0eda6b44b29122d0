// larkspur-display-guardian WIDTH HEIGHT: gives the X display its layout back when the show
// that started it ends, however it ends.
//
// The show starts it just before switching the display to WIDTH x HEIGHT, with the read
// end of a pipe as standard input; only the show holds the write end. The guardian saves
// the screen's layout, says so with one byte on standard output, and waits. End of file
// on standard input means the show is gone (a crash and SIGKILL included, which no hook
// in the show survives). If the screen still shows the show's mode, the saved layout goes
// back. It runs in its own session and ignores the signals a terminal sends its process
// group, so Ctrl-C or a hang-up that ends the show does not end the guardian too.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include <vector>

#include "platform/guardian/ScreenLayout.h"

static int XErrors = 0;

static int CountXError(Display*, XErrorEvent*) {
    ++XErrors;
    return 0;
}

static ScreenLayout ReadLayout(Display* display, Window root, XRRScreenResources* resources) {
    ScreenLayout layout;
    const int screen = DefaultScreen(display);
    layout.Width = DisplayWidth(display, screen);
    layout.Height = DisplayHeight(display, screen);
    layout.WidthMm = DisplayWidthMM(display, screen);
    layout.HeightMm = DisplayHeightMM(display, screen);
    // The connection's idea of the size is from when it was opened; ask for the present.
    XWindowAttributes rootAttributes = {};
    if (XGetWindowAttributes(display, root, &rootAttributes) != 0) {
        layout.Width = rootAttributes.width;
        layout.Height = rootAttributes.height;
    }
    for (int i = 0; i < resources->ncrtc; ++i) {
        XRRCrtcInfo* info = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (info == nullptr) {
            continue;
        }
        CrtcLayout crtc;
        crtc.Crtc = resources->crtcs[i];
        crtc.Mode = info->mode;
        crtc.X = info->x;
        crtc.Y = info->y;
        crtc.Width = info->mode != None ? info->width : 0;
        crtc.Height = info->mode != None ? info->height : 0;
        crtc.Rotation = info->rotation;
        for (int o = 0; o < info->noutput; ++o) {
            crtc.Outputs.push_back(info->outputs[o]);
        }
        layout.Crtcs.push_back(crtc);
        XRRFreeCrtcInfo(info);
    }
    return layout;
}

static void SetCrtc(Display* display, XRRScreenResources* resources, const CrtcLayout& crtc) {
    std::vector<RROutput> outputs(crtc.Outputs.begin(), crtc.Outputs.end());
    XRRSetCrtcConfig(display, resources, static_cast<RRCrtc>(crtc.Crtc), CurrentTime, crtc.X,
                     crtc.Y, static_cast<RRMode>(crtc.Mode), static_cast<Rotation>(crtc.Rotation),
                     outputs.empty() ? nullptr : outputs.data(), static_cast<int>(outputs.size()));
}

// CRTCs that change are switched off first, so the screen can take its old size whether
// it grows or shrinks; then each gets its old mode back.
static void RestoreLayout(Display* display, Window root, XRRScreenResources* resources,
                          const ScreenLayout& saved, const ScreenLayout& now) {
    XGrabServer(display);
    for (const CrtcLayout& current : now.Crtcs) {
        for (const CrtcLayout& before : saved.Crtcs) {
            if (before.Crtc == current.Crtc && !(before == current) && current.Mode != None) {
                CrtcLayout off = current;
                off.Mode = None;
                off.X = 0;
                off.Y = 0;
                off.Rotation = RR_Rotate_0;
                off.Outputs.clear();
                SetCrtc(display, resources, off);
            }
        }
    }
    if (saved.Width != now.Width || saved.Height != now.Height) {
        // A zero physical size is refused; keep the usual 96 dots per inch then.
        const int widthMm = saved.WidthMm > 0 ? saved.WidthMm : saved.Width * 254 / 960;
        const int heightMm = saved.HeightMm > 0 ? saved.HeightMm : saved.Height * 254 / 960;
        XRRSetScreenSize(display, root, saved.Width, saved.Height, widthMm, heightMm);
    }
    for (const CrtcLayout& before : saved.Crtcs) {
        for (const CrtcLayout& current : now.Crtcs) {
            if (before.Crtc == current.Crtc && !(before == current) && before.Mode != None) {
                SetCrtc(display, resources, before);
            }
        }
    }
    XUngrabServer(display);
    XSync(display, False);
}

static bool ParseSize(const char* text, unsigned* value) {
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || parsed == 0 || parsed > 16384) {
        return false;
    }
    *value = static_cast<unsigned>(parsed);
    return true;
}

int main(int argc, char** argv) {
    unsigned showWidth = 0;
    unsigned showHeight = 0;
    if (argc != 3 || !ParseSize(argv[1], &showWidth) || !ParseSize(argv[2], &showHeight)) {
        std::fprintf(stderr, "usage: larkspur-display-guardian WIDTH HEIGHT\n");
        return 2;
    }
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    // It may outlive the show by a moment: hold on to none of its folders.
    if (chdir("/") != 0) {
        return 1;
    }

    // Without X or RandR there is nothing to guard: the show carries on without a guardian.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return 1;
    }
    XSetErrorHandler(CountXError);
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) ||
        !XRRQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 2)) {
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) {
        return 1;
    }
    const ScreenLayout saved = ReadLayout(display, root, resources);
    XRRFreeScreenResources(resources);
    if (write(STDOUT_FILENO, "R", 1) != 1) {
        return 1;
    }
    close(STDOUT_FILENO);

    char discard[64];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, discard, sizeof discard);
        if (got == 0 || (got < 0 && errno != EINTR)) {
            break;
        }
    }

    resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) {
        return 1;
    }
    const ScreenLayout now = ReadLayout(display, root, resources);
    int status = 0;
    if (ShouldRestoreLayout(saved, now, showWidth, showHeight)) {
        RestoreLayout(display, root, resources, saved, now);
        if (XErrors != 0) {
            std::fprintf(stderr, "larkspur-display-guardian: the display refused its old mode\n");
            status = 1;
        }
    }
    XRRFreeScreenResources(resources);
    XCloseDisplay(display);
    return status;
}
