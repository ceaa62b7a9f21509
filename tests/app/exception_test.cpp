#include "stimulark/app/Exception.hpp"
#include "stimulark/platform/Clock.hpp"

#include <gtest/gtest.h>

namespace Stimulark::Testing::FORMATS {
struct Outer {
    struct BRIDGE {};
};
} // namespace Stimulark::Testing::FORMATS

namespace {

using Stimulark::Exception;

TEST(Exception, FullMessageNamesTheQualifiedClassTheTitleInBracketsAndTheMessage) {
    EXPECT_EQ(Exception(typeid(Stimulark::Clock), "HARDWARE NOT SUPPORTED", "No counter.").fullMessage(),
              "Stimulark::Clock [HARDWARE NOT SUPPORTED] No counter.");
    // Namespaces and enclosing classes alike are joined by "::".
    EXPECT_EQ(Exception(typeid(Stimulark::Testing::FORMATS::Outer::BRIDGE), "FORMAT ERROR", "Bad.").fullMessage(),
              "Stimulark::Testing::FORMATS::Outer::BRIDGE [FORMAT ERROR] Bad.");
    EXPECT_EQ(Exception(typeid(Stimulark::Clock), "", "Failed.").fullMessage(), "Stimulark::Clock [] Failed.");
    EXPECT_EQ(Exception(typeid(Stimulark::Clock), nullptr, nullptr).fullMessage(), "Stimulark::Clock [] ");
    EXPECT_EQ(Exception().fullMessage(), "Stimulark::Exception [] ");
}

TEST(Exception, OwnsCopiesOfItsTexts) {
    std::string title = "API ERROR";
    const Exception original(typeid(Stimulark::Clock), title.c_str(), "Failed.");
    title.assign("overwritten");
    try {
        throw original;
    } catch (Exception caught) {
        EXPECT_EQ(caught.fullMessage(), "Stimulark::Clock [API ERROR] Failed.");
    }
}

} // namespace
