// One QApplication for every test of the platform.
#include "support/qt_application.h"

namespace {

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ba::test::QtApplicationEnvironment);

}  // namespace
