/* The bridge library loaded by the PNG binding at run time. It opens (regular files only,
 * for reading) and closes the stdio streams that libpng reads from, so that both sides
 * use the same C library, and it is linked against libpng so that libpng's entries are
 * found through its handle. */
#define _POSIX_C_SOURCE 200809L

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <png.h>

#define BRIDGE_EXPORT __attribute__((visibility("default")))

BRIDGE_EXPORT FILE* png_open_file(const char* fileName, const char* mode) {
    if (fileName == NULL || mode == NULL || mode[0] != 'r' || strchr(mode, '+') != NULL) {
        return NULL;
    }
    /* Non-blocking, so that a named pipe in a picture's place is refused at once instead
     * of waiting for a writer; only regular files are read. */
    const int fd = open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return NULL;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return NULL;
    }
    FILE* stream = fdopen(fd, mode);
    if (stream == NULL) {
        close(fd);
    }
    return stream;
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
