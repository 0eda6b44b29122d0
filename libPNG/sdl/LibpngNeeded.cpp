// Keeps libpng a needed library of the bridge even under --as-needed linking: the
// binding finds libpng's own entries through the bridge's handle.
#include <png.h>

extern "C" png_uint_32 png_bridge_libpng_version() {
    return png_access_version_number();
}
