// The program's entry point: the show, then its exit status (1 after a start-up failure).
#include <cstdlib>

#include "app/ApplicationError.h"
#include "app/FrameStats.h"
#include "app/RunShow.h"
#include "platform/EndRequests.h"
#include "platform/StandardStreams.h"

int main() {
    StartFrameStats();
    KeepStandardStreamsOpen();
    CatchEndRequests();
    InstallApplicationErrorHandler();
    const int status = RunShow(GetModuleHandleA(nullptr), nullptr, "", SW_SHOW);
    std::exit(status == 0 ? 0 : 1);
}
