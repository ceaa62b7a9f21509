#include "stimulark/color/Color.hpp"
#include "stimulark/file/File.hpp"
#include "stimulark/platform/ApplicationProperties.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace Stimulark;

// A program's own static object, built before the toolkit's objects when the
// linker puts this file first: they must be usable all the same.
struct EarlyUser {
    Color white = Color::white;
    Color magenta = Color::magenta;
    Color clamped{0.25, 2.0, -1.0, 0.5}; // the store routine is already in force
    std::string documentsId = File::pathIds()[File::USER_DOCUMENTS].id;
    std::string appFolder = File::pathIds()[File::APP].path;
    std::string windowClass = applicationProperties.windowClassName;
};
const EarlyUser early;

TEST(StaticInitialisation, ToolkitObjectsAreReadyForAProgramsStaticObjects) {
    EXPECT_EQ(early.white.g, 1.0);
    EXPECT_EQ(early.white.a, 1.0);
    EXPECT_EQ(early.magenta.g, 0.0);
    EXPECT_EQ(early.magenta.b, 1.0);
    EXPECT_EQ(early.clamped.g, 1.0);
    EXPECT_EQ(early.clamped.b, 0.0);
    EXPECT_EQ(early.documentsId, "%USER_DOCUMENTS%");
    EXPECT_EQ(early.appFolder, "");
    EXPECT_EQ(early.windowClass, "StimularkWindow");
}

} // namespace
