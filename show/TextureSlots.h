// The eleven picture slots the layers bind from: 0–7 the show pictures, 8 the shimmer's
// picture, 9 and 10 the two title pictures. Filled by the scene set-up.
#pragma once

#include "textures/TextureImage.h"

constexpr int TextureSlotCount = 11;
extern TTextureImage* Textures[TextureSlotCount];

// Binds the texture of one slot. A slot whose picture did not load (or that holds no
// object at all) binds nothing, so the previous binding stays.
inline void BindTextureSlot(int slot) {
    if (slot >= 0 && slot < TextureSlotCount && Textures[slot] != nullptr) {
        Textures[slot]->BindTexture();
    }
}
