// A GUI program on Windows gets no SIGINT or SIGTERM; closing its window is the request.
#include "platform/EndRequests.h"

void CatchEndRequests() {}
