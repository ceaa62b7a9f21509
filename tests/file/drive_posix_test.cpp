#include "stimulark/file/File.hpp"

#include <gtest/gtest.h>

namespace Stimulark::Testing {
namespace {

// Paths here have no drives: a leading "D:" is cleaned like any other colon.
TEST(DrivesPosix, ALeadingDriveIsCleanedLikeAnyColon) {
    EXPECT_EQ(File::decodePath("D:\\x\\y"), "D/x/y");
    EXPECT_EQ(File::decodePath("c:/a:b"), "c/ab");
}

} // namespace
} // namespace Stimulark::Testing
