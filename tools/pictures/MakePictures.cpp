// make_pictures OUTDIR: draws the show's eleven default pictures into OUTDIR as JPEG
// files. The output depends on nothing but this program and the installed fonts: each
// picture is a pure function of its pixel positions, so drawing them on several threads
// changes nothing in the bytes written.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "Pictures.h"

namespace {

constexpr int Quality = 95;

struct Job {
    const char* Name;
    void (*Draw)(Canvas&); // null for the title cards
    int Title;
    std::string Error; // empty while all is well
};

void RunJob(Job& job, const std::string& dir) {
    Canvas canvas(PictureSize, PictureSize);
    if (job.Draw) {
        job.Draw(canvas);
    } else if (!DrawTitleCard(canvas, job.Title, job.Error)) {
        return;
    }
    const std::string path = dir + "/" + job.Name + ".jpg";
    if (!WriteJpeg(canvas, path, Quality)) {
        job.Error = "cannot write " + path;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: make_pictures OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<Job> jobs = {
        // The slowest first, so the threads finish together.
        {"d1", DrawMandelbrot, 0, {}},    {"d5", DrawKaleidoscope, 0, {}},
        {"d0", DrawTiledOrnament, 0, {}}, {"d6", DrawMarble, 0, {}},
        {"d3", DrawNewton, 0, {}},        {"d4", DrawStainedGlass, 0, {}},
        {"l2", nullptr, 1, {}},           {"d2", DrawTunnel, 0, {}},
        {"l1", nullptr, 0, {}},           {"r", DrawShimmerTile, 0, {}},
        {"d7", DrawInterference, 0, {}},
    };
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            RunJob(jobs[i], dir);
        }
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) {
        pool.emplace_back(worker);
    }
    worker();
    for (std::thread& t : pool) {
        t.join();
    }
    int status = 0;
    for (const Job& job : jobs) {
        if (!job.Error.empty()) {
            std::fprintf(stderr, "make_pictures: %s: %s\n", job.Name, job.Error.c_str());
            status = 1;
        }
    }
    return status;
}
