// What the web back end's files share: the GL 1.1 layer over WebGL, the page's events
// and the wait for the next animation frame. Nothing outside platform/web/ includes it.
#pragma once

#include <string>

// A fresh GL 1.1 state for a context that has just been made current.
void StartWebGl();

// Hands control to the browser until its next animation frame, so that the frame just
// drawn is shown and the page's events come in.
void WaitForAnimationFrame();

// Records why the last platform call failed.
void SetPlatformFailure(const std::string& reason);
// Tells the call observer (if a test set one) which call is running.
void ObservePlatformCall(const char* call);
