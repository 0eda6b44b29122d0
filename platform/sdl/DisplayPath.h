// How the show's full-screen 640 x 480 reaches a Linux display.
//
// Only a server that really changes its mode (Xorg with RandR, a console through KMS)
// switches: it then shows 640 x 480 pixels over the whole glass, as Win32 does. Wayland
// cannot change the mode for a client, SDL only stretches a 640 x 480 frame over the
// output, and Xwayland emulates modes per client in the same way; an X server may have no
// such mode at all. There the window fills the screen at the screen's own resolution
// and the picture is drawn 4:3, centred, between black bars: the show's composition,
// sharp. The show sees its 640 x 480 window either way.
#pragma once

#include <SDL2/SDL.h>

#include "platform/sdl/Objects.h"

enum class VideoKind { X11, Wayland, Kms, Headless };

// What decides the path, as read from SDL and the display server.
struct DisplayFacts {
    VideoKind Kind = VideoKind::Headless;
    // An X server that is Xwayland: its modes are a per-client emulation.
    bool Xwayland = false;
    // The display lists a mode of exactly the requested size.
    bool ExactMode = false;
};

enum class ModePath {
    Switch,    // change the display's mode
    Letterbox, // keep it; fill the screen with the centred 4:3 picture
    Refuse,    // the size cannot be shown (no real screen to fill): nothing changes
};

ModePath ChooseModePath(const DisplayFacts& facts);
// The kind of an SDL video driver name ("x11", "wayland", "KMSDRM", ...).
VideoKind VideoKindNamed(const char* driver);

// The facts of the display the window is on, for a mode of width x height.
DisplayFacts ReadDisplayFacts(SDL_Window* window, int width, int height);

// Fills the screen with the window for a picture of width x height; false with the
// platform failure set when SDL cannot.
bool BeginLetterbox(PlatformWindow* window, int width, int height);
// Ends it; the window keeps whatever full-screen state it has.
void EndLetterbox(PlatformWindow* window);
// With the window letterboxed and its context current, points the GL viewport at the
// centred 4:3 rectangle of its drawable. Called after the show has set its own viewport
// for its 640 x 480 window (a WM_SIZE) and after each frame, so the next frame and one
// after a size change are both drawn there. glClear still clears the whole drawable,
// which makes the bars.
void KeepPictureViewport(PlatformWindow* window);
