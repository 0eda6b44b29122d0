// The picture slots, empty until the scene set-up loads them.
#include "show/TextureSlots.h"

TTextureImage* Textures[TextureSlotCount] = {};
