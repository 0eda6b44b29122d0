// make_song: composes the show's default song and writes it as an XM module.
// Usage: make_song <output.xm>
#include "tools/song/Song.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.xm>\n", argc > 0 ? argv[0] : "make_song");
        return 2;
    }
    try {
        std::vector<std::uint8_t> bytes = WriteXm(ComposeSong());
        // Write beside the target and rename, so a failed run never leaves half a song.
        std::string target = argv[1];
        std::string temporary = target + ".part";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            out.close();
            if (!out) {
                std::fprintf(stderr, "make_song: cannot write %s\n", temporary.c_str());
                std::remove(temporary.c_str());
                return 1;
            }
        }
        if (std::rename(temporary.c_str(), target.c_str()) != 0) {
            std::fprintf(stderr, "make_song: cannot rename to %s\n", target.c_str());
            std::remove(temporary.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_song: %s\n", e.what());
        return 1;
    }
    return 0;
}
