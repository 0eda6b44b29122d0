// The frame composition: random generator and a cleared first frame.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "show/Random.h"
#include "show/RenderFrame.h"
#include "tests/support/GlTestContext.h"

TEST(Random, FirstDrawsOfSevenFromSeedZero) {
    RandomSeed = 0;
    EXPECT_EQ(Random(7), 0u);
    EXPECT_EQ(Random(7), 0u);
    EXPECT_EQ(Random(7), 6u);
    EXPECT_EQ(Random(7), 1u);
    RandomSeed = 0;
}

TEST(Random, StaysBelowItsBound) {
    RandomSeed = 12345;
    for (int i = 0; i < 10000; ++i) {
        ASSERT_LT(Random(128), 128u);
    }
    RandomSeed = 0;
}

TEST(GlContext, OffscreenContextClears) {
    GlTestContext gl;
    ASSERT_TRUE(gl.Ok());
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(gl.PixelAt(10, 10), 0xFF0000u);
}
