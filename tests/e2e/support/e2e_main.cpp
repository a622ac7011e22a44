// The end-to-end test binaries' main: GoogleTest, plus ending the shared Xvfb when the tests end.
#include "gtest/gtest.h"
#include "support/display.h"

namespace {

class DisplayEnvironment : public testing::Environment {
 public:
  void TearDown() override { e2e::StopDisplay(); }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new DisplayEnvironment);
  return RUN_ALL_TESTS();
}
