// larkspur-capture: records the show offscreen, frame by frame, with the show time
// driven by the frame number instead of the music's play position, so that every run
// gives the same pictures and a soundtrack that lines up with them sample for sample.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/RunShow.h"
#include "app/Scene.h"
#include "show/Timeline.h"

// The recording is the show's window, and its sound the show's mix.
constexpr int CaptureWidth = ShowWindowWidth;
constexpr int CaptureHeight = ShowWindowHeight;
constexpr std::size_t CaptureFrameBytes = std::size_t{CaptureWidth} * CaptureHeight * 4;
constexpr int SoundtrackRate = ShowMixRate;
constexpr int MaxCaptureFps = 1000;

struct CaptureOptions {
    int Fps = 60;
    std::string Output;                // empty: "larkspur.mp4", or "stills" with --stills
    std::uint32_t Start = 0;           // ms of show time
    std::uint32_t End = ShowEndTime;   // ms of show time, exclusive
    std::vector<std::uint32_t> Stills; // show times; non-empty: PNG pictures, no video
    int StillScale = 1;                // stills shrunk by this factor (1 to 8)
    std::string ShowDir;               // folder holding data/; empty: the working directory
    bool Quiet = false;                // no progress bar
    bool Help = false;
};

// --- Command line (CaptureOptions.cpp) ---

// False with a message in `error` for anything it cannot use.
bool ParseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);
extern const char* const CaptureUsage;

// --- The frame clock (CaptureClock.cpp) ---

// Show time of a frame: frame × 1000 ÷ fps, rounded down.
std::uint32_t FrameTime(std::uint64_t frame, int fps);
// The first frame whose show time is at or past `time`.
std::uint64_t FirstFrameAtOrAfter(std::uint32_t time, int fps);
// The frame a player shows at `time` ms after the start of the video.
std::uint64_t FrameOnScreenAt(std::uint32_t time, int fps);
// First soundtrack sample (per channel) belonging to a frame.
std::uint64_t FrameSample(std::uint64_t frame, int fps);

// --- The offscreen show (CaptureScene.cpp) ---

// Empty when every media file can be read, otherwise a message naming the first that
// cannot.
std::string CheckShowData();
// Opens the show's window offscreen through the same calls the show makes, so that
// window creation sets up the context, the pictures, the projection and the fonts.
bool OpenCaptureScene(std::string& error);
// Draws the frame the show draws at `time`. False when the show ended inside this
// frame: like the live show's last frame, it is not to be shown.
bool RenderCaptureFrame(std::uint32_t time);

// --- Pixel read-back (FrameReader.cpp) ---

// Reads the frame just drawn. With pixel buffers the read of frame n completes while
// frame n + 1 is drawn: TakeFrame then hands back the previous frame, top row first,
// BGRA, or null when there is none yet; FlushFrame hands back the last one.
void StartFrameRead();
const std::uint8_t* TakeFrame();
const std::uint8_t* FlushFrame();
bool FrameReaderUsesBuffers();
// Reads the frame just drawn at once, top row first, BGRA.
void ReadFrameNow(std::uint8_t* bgraTopDown);

// --- Soundtrack (Soundtrack.cpp) ---

// Renders samples [fromSample, fromSample + count) of data/theme.xm, looping as the
// live player does, into a 16-bit stereo WAV file at SoundtrackRate.
bool WriteSoundtrack(const std::string& songFile, std::uint64_t fromSample, std::uint64_t count,
                     const std::string& wavFile, std::string& error);

// --- Encoder (VideoEncoder.cpp) ---

// Absolute path of the ffmpeg program, empty when it is not installed.
std::string FindEncoder();
// Starts ffmpeg reading BGRA frames from a pipe and the soundtrack from `wavFile`.
bool StartEncoder(const std::string& encoder, const std::string& wavFile, int fps,
                  const std::string& output, std::string& error);
// Queues one frame (top row first, BGRA) for the encoder; false once the encoder failed.
bool SubmitFrame(const std::uint8_t* bgraTopDown);
// Closes the pipe and waits for ffmpeg; false with a message when it did not succeed.
bool FinishEncoder(std::string& error);
// Seconds the renderer waited for the encoder, and CPU seconds ffmpeg used.
double EncoderWaitSeconds();
double EncoderCpuSeconds();

// --- Stills (StillWriter.cpp) ---

// Averages each factor × factor block of pixels into one (any leftover edge is dropped).
std::vector<std::uint8_t> ShrinkPicture(const std::uint8_t* bgra, int width, int height,
                                        int factor);
bool WritePngFile(const std::string& path, const std::uint8_t* bgraTopDown, int width, int height,
                  std::string& error);

// --- Progress bar (Progress.cpp) ---

void StartProgress(std::uint64_t total, bool quiet);
void UpdateProgress(std::uint64_t done);
void EndProgress(std::uint64_t done);

// --- The whole recording (CaptureRun.cpp) ---

// Time spent in each stage of the last run, in seconds.
struct CaptureTimings {
    double Render = 0;
    double Readback = 0;
    double EncoderWait = 0;
    double EncoderCpu = 0;
    double Wall = 0;
    std::uint64_t FramesRendered = 0;
    std::uint64_t FramesWritten = 0;
};
extern CaptureTimings LastCaptureTimings;
// When set, every recorded frame is finished (glFinish) before it is read, so that the
// timings split drawing from read-back; costs a little overlap. For the benchmark.
extern bool CaptureMeasureStages;

// Returns the process exit status: 0 done, 1 failed, 2 bad command line.
int RunCapture(const CaptureOptions& options);
