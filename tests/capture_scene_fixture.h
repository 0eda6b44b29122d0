// The recorder's offscreen scene, opened once for a test suite; each of the suite's tests
// fails with the reason when it cannot be opened.
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
            FAIL() << "no offscreen scene: " << OpenError;
        }
    }
    static inline bool Opened = false;
    static inline std::string OpenError;
};
