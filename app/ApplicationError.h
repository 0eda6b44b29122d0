// The process-wide handler for an error that nothing caught: a box, then status 1.
#pragma once

#include <string>

// Makes the handler the one std::terminate calls.
void InstallApplicationErrorHandler();

// The box text for an error of `kind` raised in `module` at `address`, with the error's
// own message on the next line.
std::string ApplicationErrorText(const std::string& kind, const std::string& module,
                                 const void* address, const std::string& message);
