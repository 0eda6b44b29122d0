#include "platform/StandardStreams.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

void KeepStandardStreamsOpen() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) {
            continue;
        }
        // The lowest free number is this one, as the lower ones are open by now.
        const int opened = open("/dev/null", O_RDWR);
        if (opened != fd) {
            // Nothing can be said safely with the standard streams in this state.
            std::_Exit(1);
        }
    }
}
