// One QApplication for every test of the platform, on Qt's offscreen
// platform unless the environment asks for another.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = new QApplication(argc_, argv_);
  }
  void TearDown() override { delete application_; }

 private:
  int argc_ = 1;
  char name_[16] = "test_platform";
  char* argv_[2] = {name_, nullptr};
  QApplication* application_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
