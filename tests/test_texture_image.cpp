// The texture image object: the pixel helpers, the choice of reader by extension, the
// object's life cycle with the PNG library references, and the OpenGL upload.
#include "tests/test_texture_files.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <GL/gl.h>

#include "libPNG/PngLibrary.h"
#include "tests/support/GlTestContext.h"
#include "textures/ImageErrors.h"
#include "textures/TextureImage.h"

namespace {

std::string BridgeBesideExecutable() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string exe(path, std::size_t(length > 0 ? length : 0));
    return exe.substr(0, exe.find_last_of('/') + 1) + PngLibraryFileName;
}

bool BridgeLoaded() {
    void* handle = ::dlopen(BridgeBesideExecutable().c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        return false;
    }
    ::dlclose(handle);
    return true;
}

// 2 × 2 picture, bottom row blue, green; top row red, white (as the file stores it).
Bytes QuadrantTga() {
    return MakeTga(2, 2, 24, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
}

// Colours 0xRRGGBB equal within a few steps per channel (linear filtering at texel centres).
bool Near(std::uint32_t actual, std::uint32_t expected) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = int((actual >> shift) & 0xFF);
        const int e = int((expected >> shift) & 0xFF);
        if (std::abs(a - e) > 4) {
            return false;
        }
    }
    return true;
}

// Watches one load of a named pipe: a reader that blocks in open would hang for ever, so
// after a few seconds the watchdog opens the writing end to let it go, and says so.
class PipeWatchdog {
  public:
    explicit PipeWatchdog(std::string path) : Path(std::move(path)), Thread([this] { Watch(); }) {}
    ~PipeWatchdog() { Finish(); }
    // Ends the watch; true when a reader had to be let go.
    bool Finish() {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Done = true;
        }
        Wake.notify_all();
        if (Thread.joinable()) {
            Thread.join();
        }
        return Rescued;
    }

  private:
    void Watch() {
        std::unique_lock<std::mutex> lock(Mutex);
        if (Wake.wait_for(lock, std::chrono::seconds(3), [this] { return Done; })) {
            return;
        }
        while (!Wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return Done; })) {
            const int fd = ::open(Path.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                Rescued = true;
                ::close(fd);
            }
        }
    }
    std::string Path;
    std::mutex Mutex;
    std::condition_variable Wake;
    bool Done = false;
    bool Rescued = false;
    std::thread Thread;
};

} // namespace

TEST(PixelHelpers, WidenChannelRepeatsBits) {
    EXPECT_EQ(TTextureImage::WidenChannel(31, 5), 255);
    EXPECT_EQ(TTextureImage::WidenChannel(16, 5), 132);
    EXPECT_EQ(TTextureImage::WidenChannel(63, 6), 255);
    EXPECT_EQ(TTextureImage::WidenChannel(1, 1), 255);
    EXPECT_EQ(TTextureImage::WidenChannel(0, 1), 0);
    EXPECT_EQ(TTextureImage::WidenChannel(200, 8), 200);
    // Wider channels keep their top 8 bits.
    EXPECT_EQ(TTextureImage::WidenChannel(1023, 10), 255);
    EXPECT_EQ(TTextureImage::WidenChannel(0x2DB, 10), 0xB6);
    EXPECT_EQ(TTextureImage::WidenChannel(0x1234, 16), 0x12);
    EXPECT_EQ(TTextureImage::WidenChannel(0xFFFFFFFF, 32), 255);
    EXPECT_EQ(TTextureImage::WidenChannel(2, 2), 0xAA);
    EXPECT_EQ(TTextureImage::WidenChannel(5, 3), 0xB6);
    EXPECT_EQ(TTextureImage::WidenChannel(0xF, 4), 0xFF);
    EXPECT_EQ(TTextureImage::WidenChannel(64, 7), 129);
    // Wider channels keep only their low eight bits.
    EXPECT_EQ(TTextureImage::WidenChannel(0x1FF, 9), 0xFF);
}

TEST(PixelHelpers, RowStrideAndMasks) {
    TTextureImage image("");
    image.Width = 3;
    EXPECT_EQ(image.RowStride(24), 12);
    EXPECT_EQ(image.RowStride(4), 4);
    image.Width = 4;
    EXPECT_EQ(image.RowStride(8), 4);
    image.Width = 16384;
    EXPECT_EQ(image.RowStride(32), 65536);
    EXPECT_EQ(TTextureImage::LowestSetBit(0xF800), 11);
    EXPECT_EQ(TTextureImage::LowestSetBit(0x001F), 0);
    EXPECT_EQ(TTextureImage::LowestSetBit(0), -1);
    EXPECT_EQ(TTextureImage::LowestSetBit(0x80000000u), 31);
    EXPECT_EQ(TTextureImage::CountSetBits(0x07E0), 6);
    EXPECT_EQ(TTextureImage::CountSetBits(0), 0);
    EXPECT_EQ(TTextureImage::CountSetBits(0xFFFFFFFFu), 32);
}

TEST(PixelHelpers, ExpandSwapAndFillAlpha) {
    TTextureImage image("");
    image.Width = 2;
    image.Height = 2;
    image.Pixels = new std::uint8_t[16]();
    // Two rows of two pixels, each row followed by 2 bytes of padding.
    const Bytes source = {1, 2, 3, 4, 5, 6, 99, 99, 7, 8, 9, 10, 11, 12, 99, 99};
    image.ExpandRgbToRgba(source.data(), 2, true);
    const Bytes swapped(image.Pixels, image.Pixels + 16);
    EXPECT_EQ(swapped, (Bytes{3, 2, 1, 0, 6, 5, 4, 0, 9, 8, 7, 0, 12, 11, 10, 0}));
    image.SwapRedAndBlue();
    image.FillAlpha(255);
    EXPECT_EQ(Bytes(image.Pixels, image.Pixels + 16),
              (Bytes{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255}));
    image.ReleasePixels();
    EXPECT_EQ(image.Pixels, nullptr);
    image.ReleasePixels();
}

TEST(TextureImage, ConstructionDefaults) {
    TTextureImage image("");
    EXPECT_EQ(image.Pixels, nullptr);
    EXPECT_EQ(image.TextureName, 0u);
    EXPECT_EQ(image.Width, 0);
    EXPECT_EQ(image.Height, 0);
    EXPECT_EQ(image.BitsPerPixel, 0);
    EXPECT_EQ(image.SpareSetting, 75);
    EXPECT_EQ(image.MinFilter, GLenum(GL_LINEAR));
    EXPECT_EQ(image.MagFilter, GLenum(GL_LINEAR));
    EXPECT_EQ(image.WrapS, GLenum(GL_REPEAT));
    EXPECT_EQ(image.WrapT, GLenum(GL_REPEAT));
    EXPECT_EQ(image.ImageSize, 0);
    EXPECT_TRUE(image.PngAvailable);
    for (std::uint8_t byte : image.ColourTable) {
        ASSERT_EQ(byte, 0);
    }
}

TEST(TextureImage, ExtensionChoosesReader) {
    ScratchFolder folder;
    Bytes rgb(4 * 2 * 3, 200);
    for (const char* name : {"p.jpg", "p.JPG", "p.Jpg", "p.jpeg", "noext", "dir.x\\p", "c:p"}) {
        WriteJpeg(folder.File(name), 4, 2, rgb);
    }
    WriteBytes(folder.File("q.TGA"), QuadrantTga());
    WriteBytes(folder.File("q.tga.jpg\\x"), QuadrantTga());

    TTextureImage image("");
    EXPECT_TRUE(image.LoadImageFile(folder.File("p.jpg")));
    EXPECT_TRUE(image.LoadImageFile(folder.File("p.JPG")));
    EXPECT_TRUE(image.LoadImageFile(folder.File("p.Jpg")));
    EXPECT_TRUE(image.LoadImageFile(folder.File("q.TGA")));
    EXPECT_NE(image.Pixels, nullptr);
    for (const char* name : {"p.jpeg", "noext", "dir.x\\p", "c:p", "q.tga.jpg\\x"}) {
        EXPECT_FALSE(image.LoadImageFile(folder.File(name))) << name;
        EXPECT_EQ(image.Pixels, nullptr) << name;
    }
    // A dot inside a folder name is not an extension.
    std::filesystem::create_directory(folder.Path / "d.tga");
    WriteBytes(folder.File("d.tga/picture"), QuadrantTga());
    EXPECT_FALSE(image.LoadImageFile(folder.File("d.tga/picture")));
}

// A named pipe, a folder or a device in a picture's place is refused at once by every
// reader, and by the bridge's own open, instead of waiting for a writer.
TEST(TextureImage, OnlyRegularFilesAreRead) {
    ScratchFolder folder;
    const std::string pipe = folder.File("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::filesystem::create_directory(folder.Path / "folder");
    TTextureImage image("");
    ASSERT_TRUE(image.PngAvailable);
    using Reader = bool (TTextureImage::*)(const std::string&);
    const std::pair<const char*, Reader> readers[] = {{"bmp", &TTextureImage::ReadBmpFile},
                                                      {"jpeg", &TTextureImage::ReadJpegFile},
                                                      {"png", &TTextureImage::ReadPngFile},
                                                      {"tga", &TTextureImage::ReadTgaFile}};
    for (const auto& [name, read] : readers) {
        for (const std::string& path : {pipe, folder.File("folder"), std::string("/dev/zero")}) {
            PipeWatchdog watchdog(pipe);
            EXPECT_FALSE((image.*read)(path)) << name << " " << path;
            EXPECT_FALSE(watchdog.Finish()) << name << " waited on " << path;
            EXPECT_EQ(image.Pixels, nullptr) << name << " " << path;
        }
    }
    using OpenFile = std::FILE* (*)(const char*, const char*);
    const auto open = reinterpret_cast<OpenFile>(PngEntries[PngOpenFile]);
    ASSERT_NE(open, nullptr);
    for (const std::string& path : {pipe, folder.File("folder"), std::string("/dev/zero")}) {
        PipeWatchdog watchdog(pipe);
        std::FILE* stream = open(path.c_str(), "rb");
        EXPECT_EQ(stream, nullptr) << "bridge " << path;
        EXPECT_FALSE(watchdog.Finish()) << "bridge waited on " << path;
        if (stream != nullptr) {
            std::fclose(stream);
        }
    }
}

TEST(TextureImage, SecondLoadReleasesFirstBufferEvenWhenItFails) {
    ScratchFolder folder;
    WriteBytes(folder.File("a.tga"), QuadrantTga());
    TTextureImage image(folder.File("a.tga"));
    ASSERT_NE(image.Pixels, nullptr);
    EXPECT_FALSE(image.LoadImageFile(folder.File("missing.tga")));
    EXPECT_EQ(image.Pixels, nullptr);
    EXPECT_EQ(image.Width, 2);
}

TEST(TextureImage, EachObjectHoldsOneReferenceOnThePngLibrary) {
    ASSERT_FALSE(BridgeLoaded());
    {
        std::vector<std::unique_ptr<TTextureImage>> images;
        for (int i = 0; i < 11; ++i) {
            images.push_back(std::make_unique<TTextureImage>(""));
            EXPECT_TRUE(images.back()->PngAvailable);
        }
        EXPECT_NE(PngLibraryHandle, nullptr);
        for (int entry = 0; entry < PngEntryCount; ++entry) {
            EXPECT_NE(PngEntries[entry], nullptr) << PngEntryNames[entry];
        }
        images.resize(1);
        EXPECT_TRUE(BridgeLoaded());
    }
    EXPECT_FALSE(BridgeLoaded());
}

// libpng itself has every entry but the bridge's two: binding it must bind nothing, so
// that no PNG load calls through an empty slot.
TEST(TextureImage, PngBindingIsAllOrNothing) {
    ASSERT_FALSE(BridgeLoaded());
    std::string libpng;
    {
        TTextureImage image("");
        ASSERT_TRUE(image.PngAvailable);
        Dl_info where{};
        ASSERT_NE(::dladdr(reinterpret_cast<void*>(PngEntries[PngReadInfo]), &where), 0);
        libpng = where.dli_fname;
    }
    ASSERT_EQ(libpng.find("liblarkspur-png"), std::string::npos) << libpng;
    EXPECT_FALSE(BindPngLibraryFrom(libpng.c_str()));
    EXPECT_EQ(PngLibraryHandle, nullptr);
    for (int entry = 0; entry < PngEntryCount; ++entry) {
        EXPECT_EQ(PngEntries[entry], nullptr) << PngEntryNames[entry];
    }
    EXPECT_FALSE(PngEntriesBound());
    // An object made while the table is empty reads no PNG; the next binding restores it.
    ScratchFolder folder;
    WriteBytes(folder.File("p.png"), {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    TTextureImage image("");
    EXPECT_TRUE(image.PngAvailable);
    EXPECT_TRUE(PngEntriesBound());
    EXPECT_FALSE(BindPngLibraryFrom("liblarkspur-no-such-library.so"));
    EXPECT_TRUE(PngEntriesBound()) << "a library that cannot be loaded leaves the table";
    // The handle is back on the bridge with one reference more, which goes back here.
    ASSERT_TRUE(BindPngLibrary());
    FreeLibrary(PngLibraryHandle);
}

TEST(TextureImage, HeaderCutShortLeavesTheConstructorAndReleasesTheLibrary) {
    ScratchFolder folder;
    WriteBytes(folder.File("short.tga"), Bytes{0, 0, 2, 0, 0});
    WriteBytes(folder.File("short.bmp"), Bytes{'B', 'M', 0, 0});
    for (const char* name : {"short.tga", "short.bmp"}) {
        try {
            TTextureImage image(folder.File(name));
            ADD_FAILURE() << name << " loaded";
        } catch (const EInOutError& error) {
            EXPECT_STREQ(error.what(), "Read beyond end of file");
        }
        EXPECT_FALSE(BridgeLoaded()) << name;
    }
}

TEST(TextureImage, BuildAndBindTexture) {
    GlTestContext gl;
    ASSERT_TRUE(gl.Ok());
    ScratchFolder folder;
    WriteBytes(folder.File("q.tga"), QuadrantTga());

    TTextureImage empty("");
    GLuint bound = 0;
    glGenTextures(1, &bound);
    glBindTexture(GL_TEXTURE_2D, bound);
    empty.BuildTexture();
    EXPECT_EQ(empty.TextureName, 0u);
    empty.BindTexture();
    GLint current = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &current);
    EXPECT_EQ(GLuint(current), bound);

    TTextureImage image(folder.File("q.tga"));
    image.BuildTexture();
    const GLuint first = image.TextureName;
    ASSERT_NE(first, 0u);
    image.BuildTexture();
    EXPECT_NE(image.TextureName, 0u);
    EXPECT_NE(image.TextureName, first);
    EXPECT_FALSE(glIsTexture(first));
    EXPECT_NE(image.Pixels, nullptr);

    glBindTexture(GL_TEXTURE_2D, bound);
    image.BindTexture();
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &current);
    EXPECT_EQ(GLuint(current), image.TextureName);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);

    // The first row of Pixels is texture row t = 0: drawn over the whole viewport, the
    // file's first pixel lands bottom left.
    glViewport(0, 0, gl.Width(), gl.Height());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    EXPECT_PRED2(Near, gl.PixelAt(gl.Width() / 4, gl.Height() / 4), 0x0000FFu);
    EXPECT_PRED2(Near, gl.PixelAt(3 * gl.Width() / 4, gl.Height() / 4), 0x00FF00u);
    EXPECT_PRED2(Near, gl.PixelAt(gl.Width() / 4, 3 * gl.Height() / 4), 0xFF0000u);
    EXPECT_PRED2(Near, gl.PixelAt(3 * gl.Width() / 4, 3 * gl.Height() / 4), 0xFFFFFFu);
    glDeleteTextures(1, &bound);
}
