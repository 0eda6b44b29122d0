/* The bridge library loaded by the PNG binding at run time. It opens and closes the
 * stdio streams that libpng reads from, so that both sides use the same C library, and
 * it is linked against libpng so that libpng's entries are found through its handle. */
#include <stdio.h>

#include <png.h>

#define BRIDGE_EXPORT __attribute__((visibility("default")))

BRIDGE_EXPORT FILE* png_open_file(const char* fileName, const char* mode) {
    if (fileName == NULL || mode == NULL) {
        return NULL;
    }
    return fopen(fileName, mode);
}

BRIDGE_EXPORT void png_close_file(FILE* stream) {
    if (stream != NULL) {
        fclose(stream);
    }
}

/* Keeps libpng a needed library of the bridge even under --as-needed linking. */
BRIDGE_EXPORT png_uint_32 png_bridge_libpng_version(void) {
    return png_access_version_number();
}
