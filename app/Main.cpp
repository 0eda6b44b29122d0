// The program's entry point: the show, then its exit status (1 after a start-up failure).
// Built twice: larkspur, the show as shipped, and larkspur-measured, which also writes
// frame statistics for tests and benchmarks (LARKSPUR_MEASURED).
#include <cstdlib>

#include "app/ApplicationError.h"
#include "app/RunShow.h"
#include "platform/EndRequests.h"
#include "platform/StandardStreams.h"

#if defined(LARKSPUR_MEASURED)
#include "app/FrameStats.h"
#endif

int main() {
#if defined(LARKSPUR_MEASURED)
    StartFrameStats();
#endif
    KeepStandardStreamsOpen();
    CatchEndRequests();
    InstallApplicationErrorHandler();
    const int status = RunShow(GetModuleHandleA(nullptr), nullptr, "", SW_SHOW);
    std::exit(status == 0 ? 0 : 1);
}
