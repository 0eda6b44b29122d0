// larkspur-display-guardian WIDTH HEIGHT [WINDOW]: gives the X display its layout back
// when the show that started it ends, however it ends.
//
// The show starts it just before switching the display to WIDTH x HEIGHT, with the read
// end of a pipe as standard input; only the show holds the write end. The guardian joins
// the display's layout record (below), says so with one byte on standard output, and
// waits, keeping standard output open so that the show notices at once if the guardian
// itself is killed. End of file on standard input means the show is gone (a crash and
// SIGKILL included, which no hook in the show survives). It runs in its own session and
// ignores the signals a terminal sends its process group, so Ctrl-C or a hang-up that
// ends the show does not end the guardian too.
//
// Several shows may run on one display, each with its guardian, starting and ending in
// any order. So the layout from before the first of them is kept on the display itself,
// as properties of the root window: the original layout, and the shows holding it, each
// named by its window (given as WINDOW) and marked on that window. A holder whose window
// is gone, or no longer marked, has ended. The last guardian to leave puts the original
// back, if the screen still shows the show's mode, and removes the record. Root-window
// properties live exactly as long as the server whose CRTC and mode ids they name, and a
// client that could change them could change the display's mode anyway; a file would
// outlive a server restart and need its own guarding. Every change to the record is made
// with the server grabbed, so two guardians never interleave.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "guardian/LayoutRecord.h"
#include "guardian/ScreenLayout.h"

static int XErrors = 0;

static int CountXError(Display*, XErrorEvent*) {
    ++XErrors;
    return 0;
}

// The server went away (it ended, or the connection broke): there is no display left to
// give anything back to, and nothing to say that the show has not said.
static int DisplayGone(Display*) {
    _exit(1);
}

namespace {
struct RecordAtoms {
    Atom Original;
    Atom Holders;
    Atom Mark;
};
} // namespace

static RecordAtoms InternRecordAtoms(Display* display) {
    return RecordAtoms{XInternAtom(display, "_LARKSPUR_ORIGINAL_LAYOUT", False),
                       XInternAtom(display, "_LARKSPUR_LAYOUT_HOLDERS", False),
                       XInternAtom(display, "_LARKSPUR_HOLDS_LAYOUT", False)};
}

// A window property of 32-bit items of this type; empty when absent, of another type or
// format, or longer than a record can be.
static std::vector<std::uint32_t> ReadWords(Display* display, Window window, Atom property,
                                            Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<std::uint32_t> words;
    const int errors = XErrors;
    if (XGetWindowProperty(display, window, property, 0, 65536, False, type, &actualType, &format,
                           &count, &after, &data) == Success &&
        XErrors == errors && actualType == type && format == 32 && after == 0 && data != nullptr) {
        // Xlib hands 32-bit items over as longs.
        const long* items = reinterpret_cast<const long*>(data);
        for (unsigned long i = 0; i < count; ++i) {
            words.push_back(static_cast<std::uint32_t>(items[i]));
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    return words;
}

static void WriteWords(Display* display, Window window, Atom property, Atom type,
                       const std::vector<std::uint32_t>& words) {
    std::vector<long> items(words.begin(), words.end());
    XChangeProperty(display, window, property, type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(items.data()),
                    static_cast<int>(items.size()));
}

// Whether this holder's window still exists and carries the mark its guardian put on it.
static bool HolderLives(Display* display, const RecordAtoms& atoms, std::uint64_t holder) {
    if (holder == 0 || holder > 0x1fffffff) {
        return false;
    }
    XSync(display, False);
    const std::vector<std::uint32_t> mark =
        ReadWords(display, static_cast<Window>(holder), atoms.Mark, XA_CARDINAL);
    return mark.size() == 1 && mark[0] == 1;
}

static LayoutRecord ReadRecord(Display* display, Window root, const RecordAtoms& atoms) {
    LayoutRecord record;
    const std::vector<std::uint32_t> words = ReadWords(display, root, atoms.Original, XA_CARDINAL);
    record.Valid = DecodeLayout(words.data(), words.size(), &record.Original);
    for (std::uint32_t holder : ReadWords(display, root, atoms.Holders, XA_WINDOW)) {
        if (HolderLives(display, atoms, holder)) {
            record.Holders.push_back(holder);
        }
    }
    return record;
}

static void WriteRecord(Display* display, Window root, const RecordAtoms& atoms,
                        const LayoutRecord& record) {
    WriteWords(display, root, atoms.Original, XA_CARDINAL, EncodeLayout(record.Original));
    std::vector<std::uint32_t> holders;
    for (std::uint64_t holder : record.Holders) {
        holders.push_back(static_cast<std::uint32_t>(holder));
    }
    WriteWords(display, root, atoms.Holders, XA_WINDOW, holders);
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
// it grows or shrinks; then each gets its old mode back. The caller holds the server.
static void RestoreLayout(Display* display, Window root, XRRScreenResources* resources,
                          const ScreenLayout& saved, const ScreenLayout& now) {
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

static bool ParseWindow(const char* text, std::uint64_t* value) {
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 0);
    if (end == text || *end != '\0' || parsed == 0 || parsed > 0x1fffffff) {
        return false;
    }
    *value = parsed;
    return true;
}

// Joins the record with the server held: returns the original layout to put back.
static ScreenLayout Join(Display* display, Window root, const RecordAtoms& atoms,
                         std::uint64_t* token) {
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) {
        std::exit(1);
    }
    XGrabServer(display);
    const ScreenLayout now = ReadLayout(display, root, resources);
    XRRFreeScreenResources(resources);
    const LayoutRecord found = ReadRecord(display, root, atoms);
    if (*token != 0) {
        const long mark = 1;
        const int errors = XErrors;
        XChangeProperty(display, static_cast<Window>(*token), atoms.Mark, XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&mark), 1);
        XSync(display, False);
        // No such window: this show cannot be told apart from the others.
        if (XErrors != errors) {
            *token = 0;
        }
    }
    const LayoutRecord record = JoinRecord(found, now, *token);
    WriteRecord(display, root, atoms, record);
    XUngrabServer(display);
    XSync(display, False);
    return record.Original;
}

// Leaves the record with the server held; the last to leave puts the original back.
// Returns the exit status.
static int Leave(Display* display, Window root, const RecordAtoms& atoms, std::uint64_t token,
                 const ScreenLayout& joined, unsigned showWidth, unsigned showHeight) {
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) {
        return 1;
    }
    int status = 0;
    XGrabServer(display);
    LayoutRecord record = ReadRecord(display, root, atoms);
    if (!record.Valid) {
        // Removed or damaged meanwhile: what this guardian found stands in.
        record.Original = joined;
        record.Holders.clear();
    }
    if (LeaveRecord(&record, token)) {
        WriteRecord(display, root, atoms, record);
    } else {
        XDeleteProperty(display, root, atoms.Original);
        XDeleteProperty(display, root, atoms.Holders);
        const ScreenLayout now = ReadLayout(display, root, resources);
        if (ShouldRestoreLayout(record.Original, now, showWidth, showHeight)) {
            XSync(display, False);
            const int errors = XErrors;
            RestoreLayout(display, root, resources, record.Original, now);
            XSync(display, False);
            if (XErrors != errors) {
                std::fprintf(stderr,
                             "larkspur-display-guardian: the display refused its old mode\n");
                status = 1;
            }
        }
    }
    XUngrabServer(display);
    XSync(display, False);
    XRRFreeScreenResources(resources);
    return status;
}

int main(int argc, char** argv) {
    unsigned showWidth = 0;
    unsigned showHeight = 0;
    std::uint64_t token = 0;
    if ((argc != 3 && argc != 4) || !ParseSize(argv[1], &showWidth) ||
        !ParseSize(argv[2], &showHeight) || (argc == 4 && !ParseWindow(argv[3], &token))) {
        std::fprintf(stderr, "usage: larkspur-display-guardian WIDTH HEIGHT [WINDOW]\n");
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
    XSetIOErrorHandler(DisplayGone);
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) ||
        !XRRQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 2)) {
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    const RecordAtoms atoms = InternRecordAtoms(display);
    const ScreenLayout joined = Join(display, root, atoms, &token);
    if (write(STDOUT_FILENO, "R", 1) != 1) {
        return 1;
    }

    char discard[64];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, discard, sizeof discard);
        if (got == 0 || (got < 0 && errno != EINTR)) {
            break;
        }
    }

    const int status = Leave(display, root, atoms, token, joined, showWidth, showHeight);
    XCloseDisplay(display);
    return status;
}
