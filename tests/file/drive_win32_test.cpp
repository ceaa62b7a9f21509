#include "stimulark/file/File.hpp"

#include <gtest/gtest.h>

namespace Stimulark::Testing {
namespace {

// A drive's colon belongs to the path; every other colon is cleaned as before.
TEST(DrivesWin32, OnlyTheColonOfALeadingDriveLetterStays) {
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\x\\y", "D:/x/y"}, {"c:/a:b", "c:/ab"}, {"1:/x", "1/x"}, {":x", "x"}, {"x:", "x:"}, {"ab:c", "abc"}};
    for (const auto& [name, path] : cases)
        EXPECT_EQ(File::decodePath(name), path) << name;
}

} // namespace
} // namespace Stimulark::Testing
