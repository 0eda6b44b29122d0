// The layers' state gathered into one value, so that a frame can be drawn again from the
// state it started with, or passed over without drawing.
#include "show/Layers.h"
#include "show/Random.h"

ShowState CurrentShowState() {
    ShowState state;
    state.Picture = {PictureState, PictureStamp, PictureIndex};
    state.Stack = {StackGlyphCode, StackStamp};
    state.Seed = RandomSeed;
    return state;
}

void SetShowState(const ShowState& state) {
    PictureState = state.Picture.State;
    PictureStamp = state.Picture.Stamp;
    PictureIndex = state.Picture.Index;
    StackGlyphCode = state.Stack.Code;
    StackStamp = state.Stack.Stamp;
    RandomSeed = state.Seed;
}
