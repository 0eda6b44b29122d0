// larkspur-capture: records the show offscreen, frame by frame, with the show time
// driven by the frame number instead of the music's play position, so that every run
// gives the same pictures and a soundtrack that lines up with them sample for sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

#include "app/RunShow.h"
#include "app/Scene.h"
#include "show/PictureRect.h"
#include "show/Timeline.h"

// The recording is the show's window unless --size says otherwise, and its sound the
// show's mix.
constexpr int CaptureWidth = ShowWindowWidth;
constexpr int CaptureHeight = ShowWindowHeight;
constexpr std::size_t CaptureFrameBytes = std::size_t{CaptureWidth} * CaptureHeight * 4;
// 4K UHD: the largest frame a video site takes.
constexpr int MaxCaptureWidth = 3840;
constexpr int MaxCaptureHeight = 2160;
constexpr int SoundtrackRate = ShowMixRate;
constexpr int MaxCaptureFps = 1000;

// Samples per pixel where glyph and text edges are, one elsewhere: as smooth as 4 samples
// everywhere for a fraction of the cost.
constexpr int SamplesAtEdges = 0;

struct CaptureOptions {
    int Fps = 60;
    std::string Output;                // empty: "larkspur.mp4", or "stills" with --stills
    std::uint32_t Start = 0;           // ms of show time
    std::uint32_t End = ShowEndTime;   // ms of show time, exclusive
    std::vector<std::uint32_t> Stills; // show times; non-empty: PNG pictures, no video
    int StillScale = 1;                // stills shrunk by this factor (1 to 8)
    int Width = CaptureWidth;          // frame size, both even
    int Height = CaptureHeight;
    int Samples = -1;    // 1, 2, 4, 8 or SamplesAtEdges; unset: DefaultSamples
    std::string ShowDir; // folder holding data/; empty: the working directory
    bool Quiet = false;  // no progress bar
    bool Help = false;
    bool Version = false;
};

// --- Command line (CaptureOptions.cpp) ---

// One sample at the window's size, whose recordings must stay as they are; SamplesAtEdges
// above it, where ragged edges show.
int DefaultSamples(int width, int height);

// False with a message in `error` for anything it cannot use.
bool ParseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);
extern const char* const CaptureUsage;
// "larkspur-capture <version>" and a newline.
extern const char* const CaptureVersion;

// --- Interrupts (Interrupts.cpp) ---

// SIGINT, SIGTERM and SIGHUP ask the recording to stop after the current frame and
// clean up. A second one stops the process at once, still killing the encoder and
// removing the file in progress.
void CatchInterrupts();
bool CaptureInterrupted();
// What a second interrupt must clean up: the file being written, `name` in `folder` if
// that name still leads to the file open as `fd` (null: none), and the encoder process
// (-1: none).
void GuardFileInProgress(int folder, const char* name, int fd);
void GuardChildInProgress(pid_t child);

// --- Messages (PrintableName.cpp) ---

// A name as messages show it, on one line: a newline as "\n", a tab as "\t", other
// control characters and bytes that are not UTF-8 as "\xNN", a backslash as "\\".
std::string PrintableName(const std::string& name);

// --- Files written whole or not at all (OutputFiles.cpp) ---

// Opens the folder `path` to write files in (O_PATH: for the *at calls), making it first
// when `make` is set and it does not exist (`made` then tells whether this call made it);
// -1 with the reason in `why`. A symbolic link at the end of the path is followed only
// when the user running the recorder or root owns it: in a folder others can write to,
// another user's link could send the files anywhere this user may write.
int OpenOutputFolder(const std::string& path, bool make, bool& made, std::string& why);
// Removes the folder `path` if it is still the one open as `folder` and empty.
void RemoveMadeFolder(const std::string& path, int folder);

// A file written under a temporary name of its own beside its final one
// (".larkspur-XXXXXX.partial") and renamed into place only when complete: the final name
// holds what it held before or a whole new file, never part of one, and a failure
// removes only what this run made. The temporary file is locked for as long as it is
// open, here or in the encoder, so that runs to the same folder leave each other's files
// alone; a killed run may leave it, and the next run to that folder that finds it
// unlocked removes it. A second interrupt removes it too.
class PartialFile {
  public:
    PartialFile() = default;
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;
    ~PartialFile() { Discard(); }

    // Claims a temporary file in `folder` for `finalName` there and returns a descriptor
    // of it for writing (the caller closes it), or -1 with "cannot write NAME: why" in
    // `error`. Refuses a final name that exists and is not a regular file (a folder, a
    // device, a FIFO, a socket, a symbolic link) without opening it.
    int Create(int folder, const std::string& finalName, const std::string& name,
               std::string& error);
    // The same in the folder of `finalPath` (see OpenOutputFolder).
    int Create(const std::string& finalPath, const std::string& name, std::string& error);
    const std::string& TemporaryName() const { return Temporary; }
    // Renames the finished file into place if its temporary name still leads to it.
    bool Commit(std::string& error);
    // Removes the temporary file if its name still leads to this run's file, and lets go.
    void Discard();

  private:
    void Release();
    int Folder = -1;
    int Fd = -1; // holds the lock; the name is trusted only while it leads here
    std::string Final;
    std::string Temporary;
    std::string Name;
};

// Whether `name` has the form of the temporary names above.
bool IsTemporaryName(const std::string& name);
// Removes from `folder` the temporary files of this user that no live run holds.
void RemoveLeftoverFiles(int folder);
// Empty when `name` in `folder` is a regular file or nothing; otherwise what it is
// ("a folder").
std::string NonRegularFileKind(int folder, const std::string& name);

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
// cannot. Only regular files pass: a FIFO or a device would block or never end.
std::string CheckShowData();
// Empty when the text face and the symbol face the show draws with are installed,
// otherwise a message naming the missing one.
std::string CheckShowFaces();
// Opens the show's window offscreen through the same calls the show makes, so that
// window creation sets up the context, the pictures, the projection and the fonts, then
// points the drawing at a frame of the given size (see OpenFrameTarget). Called again, it
// keeps the window and only starts the show afresh at that size.
bool OpenCaptureScene(std::string& error, int width = CaptureWidth, int height = CaptureHeight,
                      int samples = 1);
// Draws the frame the show draws at `time`. False when the show ended inside this
// frame: like the live show's last frame, it is not to be shown.
bool RenderCaptureFrame(std::uint32_t time);
// Moves the show past the frame at `time` without drawing it, so that the frames drawn
// after it come out the same to the byte as if it had been drawn. False when the show
// would have ended inside it.
bool SkipCaptureFrame(std::uint32_t time);

// --- The frame drawn into (FrameTarget.cpp) ---

// Makes the current GL context draw into a framebuffer object of width x height with
// `samples` samples per pixel (checked to be what the renderer gives), viewport set to
// the picture; false with a message when the renderer cannot. May be called again for
// another size. SamplesAtEdges makes two: the frame with one sample, and one with 4 for
// the parts of it with edges (see DrawFrameSmoothingEdges).
bool OpenFrameTarget(int width, int height, int samples, std::string& error);
// Resolves the samples of the frame just drawn, if any, and selects it for glReadPixels.
void BindFrameForReading();
// With SamplesAtEdges: points the drawing at the frame, or at the one with 4 samples; and
// resolves a rectangle of the latter into the frame.
void BindPlainFrame();
void BindSampledFrame();
void ResolveSampledRect(const PictureRect& r);
// The order of the colour bytes in which the renderer reads the frame back fastest.
enum class PixelOrder { Bgra, Rgba };
PixelOrder FramePixelOrder();
int FrameWidth();
int FrameHeight();
int FrameSamples();
std::size_t FrameBytes();

// --- Where a frame needs samples (SampledRegion.cpp) ---

// The picture in square tiles; a marked tile holds an edge that needs samples.
constexpr int EdgeTileSize = 16;
struct EdgeTiles {
    PictureRect Picture;
    int Columns = 0;
    int Rows = 0;
    std::vector<std::uint8_t> Marked; // row by row from the bottom; 1: marked
};
EdgeTiles UnmarkedTiles(const PictureRect& picture);

// Marks the tiles that what a frame draws has edges in, from a GL_2D feedback buffer of
// `count` values in which each layer's output follows a pass-through marker holding its
// index. Everything a layer drawing one flat quad (singleQuad[index], for indices below
// `layers`) has its edges on that quad's outline: only where the outline crosses the
// picture is marked. Anything else marks every tile it may touch. A buffer it cannot
// read to the end marks every tile and returns false.
bool MarkEdgeTiles(const float* feedback, std::size_t count, const bool* singleQuad, int layers,
                   EdgeTiles& tiles);

// Marks the tiles a box in a string's own coordinates (from `low` to `high` in x, y and z)
// may reach on the screen through `transform` (projection times modelview, column by
// column as OpenGL keeps it) and the viewport. A box reaching behind the eye marks every
// tile.
void MarkBoxTiles(const double* transform, const PictureRect& viewport, const float* low,
                  const float* high, EdgeTiles& tiles);

// Rectangles covering the picture once: the sampled ones hold every marked tile, and the
// cut is chosen for a low cost of drawing, which counts each rectangle's area and the
// draws every rectangle takes.
struct FrameRect {
    PictureRect Rect;
    bool Sampled = false;
};
std::vector<FrameRect> SplitPicture(const EdgeTiles& tiles);

// --- Edge smoothing (EdgeSmoothing.cpp) ---

// Draws the frame with SamplesAtEdges: each layer is run once without drawing to see
// where it draws, then the parts of the picture with edges are drawn with 4 samples and
// resolved into the frame, the rest with one. Every part is drawn by all the layers in
// their order, from the state each started the frame with, so that it comes out as with
// 4 samples everywhere. Whatever a layer throws (the end of the show) passes through.
void DrawFrameSmoothingEdges();
// What it did so far: frames, pixels of the picture and of them those drawn with 4
// samples, tiles and of them those marked, and rectangles drawn each way.
struct EdgeSmoothingCounts {
    std::uint64_t Frames = 0;
    std::uint64_t PicturePixels = 0;
    std::uint64_t SampledPixels = 0;
    std::uint64_t MarkedTiles = 0;
    std::uint64_t Tiles = 0;
    std::uint64_t PlainRects = 0;
    std::uint64_t SampledRects = 0;
};
extern EdgeSmoothingCounts EdgeSmoothingDone;

// --- Pixel read-back (FrameReader.cpp) ---

// A frame read back for the encoder, in FramePixelOrder(): its top row and the distance
// in bytes from one row to the next below it (negative: the rows lie bottom-up). Valid
// until the next call of StartFrameRead, TakeFrame or FlushFrame.
struct FrameRows {
    const std::uint8_t* Top = nullptr;
    std::ptrdiff_t Stride = 0;
};
// Reads the frame just drawn. With pixel buffers the read of frame n completes while
// frame n + 1 is drawn: TakeFrame then hands back the previous frame, or Top null when
// there is none yet; FlushFrame hands back the last one. Only the picture is read: the
// bars beside or above it come back black.
void StartFrameRead();
FrameRows TakeFrame();
FrameRows FlushFrame();
bool FrameReaderUsesBuffers();
// Reads the frame just drawn at once, top row first, BGRA.
void ReadFrameNow(std::uint8_t* bgraTopDown);

// --- Soundtrack (Soundtrack.cpp) ---

// Renders samples [fromSample, fromSample + count) of data/theme.xm, looping as the
// live player does, as a 16-bit stereo WAV file at SoundtrackRate, written to `fd`.
bool WriteSoundtrack(const std::string& songFile, std::uint64_t fromSample, std::uint64_t count,
                     int fd, std::string& error);
// A temporary file for the soundtrack that has no name in the temporary folder
// ($TMPDIR or /tmp), so nothing is left there however the process ends; -1 with a
// message when there is none.
int MakeSoundtrackFile(std::string& error);

// --- Encoder (VideoEncoder.cpp) ---

// The x264 settings for a frame size, as --help names them.
struct EncoderPreset {
    const char* Preset;
    int Crf;
    int BFrames;        // the most B-frames in a row
    const char* Params; // for -x264-params, changing the preset; empty: none
};
EncoderPreset EncoderPresetFor(int width, int height);

// The container for a video file's name: "matroska" for .mkv, "mov" for .mov, otherwise
// "mp4".
const char* VideoContainerFor(const std::string& path);
// The ffmpeg the recorder runs: the first executable file named ffmpeg in the absolute
// folders of `searchPath` (PATH; null: the system's default path), or empty. A relative or
// empty entry is skipped: it would run whatever lies in the working directory.
std::string FindEncoderIn(const char* searchPath);
std::string FindEncoder();
// Starts ffmpeg (FindEncoder, looked up once for the run and named in its messages)
// reading frames of FrameWidth() x FrameHeight() in FramePixelOrder() from a pipe and the
// soundtrack WAV from `soundtrackFd`, writing the file open as `outputFd` (which ffmpeg
// inherits, so that it writes that file and no other) in the container `format`.
bool StartEncoder(int soundtrackFd, int fps, int outputFd, const std::string& format,
                  std::string& error);
// Queues one frame (in FramePixelOrder()) for the encoder; false once the encoder failed.
bool SubmitFrame(FrameRows frame);
// Closes the pipe and waits for ffmpeg; false with a message when it did not succeed.
bool FinishEncoder(std::string& error);
// Kills ffmpeg and waits for it to go: the recording is given up.
void AbandonEncoder();
// Seconds the renderer waited for the encoder, and CPU seconds ffmpeg used.
double EncoderWaitSeconds();
double EncoderCpuSeconds();

// --- Stills (StillWriter.cpp) ---

// Averages each factor × factor block of pixels into one (any leftover edge is dropped).
std::vector<std::uint8_t> ShrinkPicture(const std::uint8_t* bgra, int width, int height,
                                        int factor);
// Writes the picture as the PNG file `name` in `folder`, whole or not at all (see
// PartialFile); messages call it `shown`.
bool WritePngFile(int folder, const std::string& name, const std::string& shown,
                  const std::uint8_t* bgraTopDown, int width, int height, std::string& error);

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
    // CPU seconds of the recording's frames alone (no set-up, no soundtrack): the main
    // thread's and the whole process's.
    double MainThreadCpu = 0;
    double ProcessCpu = 0;
    std::uint64_t FramesRendered = 0;
    std::uint64_t FramesWritten = 0;
};
extern CaptureTimings LastCaptureTimings;
// When set, every recorded frame is finished (glFinish) before it is read, so that the
// timings split drawing from read-back; costs a little overlap. For the benchmark.
extern bool CaptureMeasureStages;

// Returns the process exit status: 0 done, 1 failed, 2 bad command line.
int RunCapture(const CaptureOptions& options);
