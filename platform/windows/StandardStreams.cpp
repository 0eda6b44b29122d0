// A GUI program on Windows starts without standard streams, and the descriptors it opens
// are never given the numbers 0, 1 and 2 in their place: there is nothing to guard.
#include "platform/StandardStreams.h"

void KeepStandardStreamsOpen() {}
