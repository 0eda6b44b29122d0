// One frame of the show: the five layers in their order.
#pragma once

// A layer of the frame. One that draws a single flat quad has no edges but the quad's
// outline; the others draw solid glyphs, edged all over.
struct ShowLayer {
    void (*Draw)();
    bool SingleQuad;
};

// In drawing order; each starts from the identity modelview matrix.
constexpr int ShowLayerCount = 5;
extern const ShowLayer ShowLayers[ShowLayerCount];

// What every frame starts with: colour and depth cleared.
void ClearFrame();
void RenderFrame();
