// The recorder's offscreen scene, opened once for a test suite; the suite's tests skip
// with the reason when it cannot be opened (test_capture_size asserts that it can).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "capture/Capture.h"

class CaptureSceneTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!Opened) {
            std::string error;
            Opened = OpenCaptureScene(error);
            OpenError = error;
        }
    }
    void SetUp() override {
        if (!Opened) {
            GTEST_SKIP() << "no offscreen scene: " << OpenError;
        }
    }
    static inline bool Opened = false;
    static inline std::string OpenError;
};
