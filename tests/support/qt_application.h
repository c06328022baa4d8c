#pragma once
// One QApplication for a whole test program, made before its first test and
// gone after its last; on Qt's offscreen platform unless the environment
// names another. A test program registers it once with
// ::testing::AddGlobalTestEnvironment.

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace ba::test {

class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "beat_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

}  // namespace ba::test
