// Without the PNG bridge library beside the program: every construction still works,
// ".png" files fail, and the other readers are unaffected. The working directory of
// this test holds a bridge library, which must not be picked up from there.
#include "tests/test_texture_files.h"

#include <unistd.h>

#include "libPNG/PngLibrary.h"
#include "textures/TextureImage.h"

TEST(PngAbsent, PngFailsAndEverythingElseWorks) {
    ScratchFolder folder;
    WriteBytes(folder.File("p.png"), {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    WriteBytes(folder.File("p.tga"), MakeTga(1, 1, 24, {1, 2, 3}));
    std::vector<std::unique_ptr<TTextureImage>> images;
    for (int i = 0; i < 3; ++i) {
        images.push_back(std::make_unique<TTextureImage>(folder.File("p.png")));
        EXPECT_FALSE(images.back()->PngAvailable);
        EXPECT_EQ(images.back()->Pixels, nullptr);
    }
    EXPECT_EQ(PngLibraryHandle, nullptr);
    EXPECT_FALSE(images[0]->LoadImageFile(folder.File("p.png")));
    EXPECT_TRUE(images[0]->LoadImageFile(folder.File("p.tga")));
}

TEST(PngAbsent, WorkingDirectoryIsNotSearched) {
    // The build folder holds the bridge; this program lives two folders below it.
    const char* fromEnvironment = std::getenv("LARKSPUR_BUILD_DIR");
    const std::string build = fromEnvironment != nullptr
                                  ? std::string(fromEnvironment)
                                  : std::filesystem::read_symlink("/proc/self/exe")
                                        .parent_path()
                                        .parent_path()
                                        .parent_path()
                                        .string();
    ASSERT_EQ(::chdir(build.c_str()), 0);
    ASSERT_TRUE(std::filesystem::exists(build + "/" + PngLibraryFileName));
    EXPECT_EQ(LoadLibraryA(PngLibraryFileName), nullptr);
    TTextureImage image("");
    EXPECT_FALSE(image.PngAvailable);
}
