// The program's entry point: the show, then exit status 0.
#include <cstdlib>

#include "app/ApplicationError.h"
#include "app/RunShow.h"
#include "platform/StandardStreams.h"

int main() {
    KeepStandardStreamsOpen();
    InstallApplicationErrorHandler();
    RunShow(GetModuleHandleA(nullptr), nullptr, "", SW_SHOW);
    std::exit(0);
}
