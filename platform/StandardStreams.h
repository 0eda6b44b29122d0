// Standard input, output and error for a program that may be started with any of them
// closed.
#pragma once

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that files and
// pipes the program opens later never take those numbers: a pipe that became
// descriptor 2 would receive every message meant for standard error. Call it first
// thing in main. Ends the process (status 1) if /dev/null cannot be opened.
void KeepStandardStreamsOpen();
