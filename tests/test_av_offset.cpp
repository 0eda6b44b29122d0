// The picture-against-sound benchmark's arithmetic (bench/AvOffset.h): a wrong sign, an
// off-by-one-frame origin or a lost latency would report a false offset.
#include <gtest/gtest.h>

#include "bench/AvOffset.h"

using namespace av_offset;

TEST(AvOffset, FirstSoundIsTheFirstFrameLoudEnoughOnEitherChannel) {
    EXPECT_EQ(FirstSound({}, 64), -1);
    EXPECT_EQ(FirstSound({0, 0, 63, -63, 0, 0}, 64), -1);
    // Frame 1 on the left, frame 2 on the right, negative samples count alike.
    EXPECT_EQ(FirstSound({0, 0, -64, 0, 0, 0}, 64), 1);
    EXPECT_EQ(FirstSound({0, 0, 10, 0, 0, 200}, 64), 2);
    // A lone sample at the end is half a frame: not a frame at all.
    EXPECT_EQ(FirstSound({0, 0, 1000}, 64), -1);
}

TEST(AvOffset, TheRecordingsOriginIsWhatMostStampsSay) {
    EXPECT_EQ(RecordingOriginNs({}), 0.0);
    // Frame 0 heard at 5 s: after 441 frames read (10 ms), at 5.030 s, with 20 ms still
    // buffered, the next frame to read is 20 ms old.
    std::vector<ReadStamp> stamps;
    for (std::uint64_t k = 1; k <= 9; ++k) {
        stamps.push_back(
            {441 * k, 5000000000 + static_cast<std::int64_t>(k) * 10000000 + 20000000, 20000});
    }
    // One read woken late, with more buffered than it says: the median ignores it.
    stamps.push_back({441 * 10, 5400000000, 20000});
    EXPECT_NEAR(RecordingOriginNs(stamps), 5000000000.0, 1.0);
}

TEST(AvOffset, PicturesAheadOfTheSoundArePositiveAndOnlyTheWindowCounts) {
    // The song starts at recorded frame 44100: heard at 1 s + 1 s = 2 s on the clock.
    const double origin = 1e9;
    const std::int64_t songStart = 44100;
    std::vector<ShownFrame> frames;
    for (int ms = 0; ms <= 3000; ms += 100) {
        // Each picture shows the music 30 ms ahead of what is heard as it is shown.
        frames.push_back({static_cast<std::uint32_t>(ms + 30), 2000000000 + ms * 1000000ll});
    }
    const std::vector<double> ahead = PictureAheadMs(frames, origin, songStart, 1000, 2000);
    ASSERT_EQ(ahead.size(), 11u);
    for (double value : ahead) {
        EXPECT_NEAR(value, 30.0, 1e-6);
    }
    // A picture behind the sound.
    EXPECT_NEAR(PictureAheadMs({{1000, 3050000000}}, origin, songStart, 0, 5000).at(0), -50.0,
                1e-6);
}

TEST(AvOffset, QuantilesOfUnsortedValues) {
    EXPECT_EQ(Quantile({}, 0.5), 0.0);
    EXPECT_EQ(Quantile({5, 1, 3}, 0.5), 3.0);
    EXPECT_EQ(Quantile({5, 1, 3, 2, 4}, 0.0), 1.0);
    EXPECT_EQ(Quantile({5, 1, 3, 2, 4}, 1.0), 5.0);
}

// A recording that starts 1000 frames late and runs dry for 500 frames after 1 s of
// song: the song is found at its lag before the gap and 500 frames later after it.
TEST(AvOffset, TheSongIsFoundInTheRecordingAfterAGap) {
    std::vector<std::int16_t> song;
    // Noise smoothed like music, whose neighbouring frames are alike.
    std::uint32_t noise = 12345;
    double smooth = 0;
    for (int i = 0; i < 88200; ++i) {
        noise = noise * 1664525u + 1013904223u;
        smooth = 0.9 * smooth + (static_cast<double>(noise >> 16) - 32768.0) / 8.0;
        song.push_back(static_cast<std::int16_t>(smooth));
        song.push_back(static_cast<std::int16_t>(smooth));
    }
    std::vector<std::int16_t> heard(2 * 1000, 0);
    heard.insert(heard.end(), song.begin(), song.begin() + 2 * 44100);
    heard.insert(heard.end(), 2 * 500, 0);
    heard.insert(heard.end(), song.begin() + 2 * 44100, song.end());
    EXPECT_EQ(SongLag(song, heard, 10000, 0, 5000), 1000);
    EXPECT_EQ(SongLag(song, heard, 50000, 1000, 5000), 1500);
    // Not within the lags searched, or past the song's end: not found.
    EXPECT_EQ(SongLag(song, heard, 50000, 2000, 5000), -1);
    EXPECT_EQ(SongLag(song, heard, 88200 - 100, 0, 5000), -1);
}
