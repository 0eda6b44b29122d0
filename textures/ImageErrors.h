// Errors a picture reader raises instead of returning false: a header cut short, and
// damaged JPEG picture data. They leave the reader and, during construction, the
// constructor, and end at the process-wide handler for uncaught errors.
#pragma once

#include <stdexcept>
#include <string>

// The run-time I/O error of a checked read that runs out of file.
class EInOutError : public std::runtime_error {
  public:
    explicit EInOutError(const std::string& message) : std::runtime_error(message) {}
};

// libjpeg failed while decoding the picture data.
class EJPEG : public std::runtime_error {
  public:
    explicit EJPEG(const std::string& message) : std::runtime_error(message) {}
};

inline constexpr const char* ReadBeyondEndOfFile = "Read beyond end of file";
