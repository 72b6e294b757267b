#pragma once
// A QGuiApplication for test programs that use fonts or paint devices, created
// once before the first test. Offscreen unless a platform was chosen.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <memory>

namespace zelk::testing {

class QtTestApp : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[8] = "test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

}  // namespace zelk::testing
