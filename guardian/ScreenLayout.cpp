// The guardian's decision, kept apart from X so it can be checked on its own.
#include "guardian/ScreenLayout.h"

static const CrtcLayout* FindCrtc(const ScreenLayout& layout, std::uint64_t crtc) {
    for (const CrtcLayout& candidate : layout.Crtcs) {
        if (candidate.Crtc == crtc) {
            return &candidate;
        }
    }
    return nullptr;
}

bool ShouldRestoreLayout(const ScreenLayout& saved, const ScreenLayout& now, unsigned showWidth,
                         unsigned showHeight) {
    if (saved == now) {
        return false;
    }
    for (const CrtcLayout& current : now.Crtcs) {
        if (current.Mode == 0 || current.Width != showWidth || current.Height != showHeight) {
            continue;
        }
        const CrtcLayout* before = FindCrtc(saved, current.Crtc);
        // A CRTC that was off is not one the show switched: a monitor plugged in since.
        if (before != nullptr && before->Mode != 0 && before->Mode != current.Mode) {
            return true;
        }
    }
    return false;
}
