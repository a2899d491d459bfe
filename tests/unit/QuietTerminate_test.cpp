// An exception that escapes ends the run with a status of its own, which
// no deployment recipe reads as success or "not applicable".
#include "platform/QuietTerminate.h"

#include <gtest/gtest.h>

#include <exception>

namespace {

TEST(QuietTerminate, EscapedExceptionEndsWithItsOwnStatus) {
  EXPECT_EXIT(std::terminate(), testing::ExitedWithCode(kUnexpectedEndStatus),
              "");
}

}  // namespace
