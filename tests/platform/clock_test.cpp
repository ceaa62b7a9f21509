#include "stimulark/app/Exception.hpp"
#include "stimulark/platform/Clock.hpp"
#include "support/Scripted.hpp"

#include <gtest/gtest.h>

namespace {

using namespace Stimulark;
using Clock_ = Testing::ScriptedTest;

TEST_F(Clock_, MissingOrTooSlowCountersAreRefused) {
    for (const std::int64_t frequency : {0, 999, -1000}) {
        scripted().frequency = frequency;
        try {
            Clock::initializeFrequency();
            ADD_FAILURE() << "frequency " << frequency << " accepted";
        } catch (const Exception& failure) {
            EXPECT_EQ(failure.fullMessage(), "Stimulark::Clock [HARDWARE NOT SUPPORTED] This computer does not "
                                             "support high-resolution performance counter.");
        }
    }
    scripted().frequency = 1000;
    Clock::initializeFrequency();
    EXPECT_EQ(Clock::ticksPerMillisecond, 1);
}

TEST_F(Clock_, SpansAreCounterDifferencesInMillisecondsWithTheRemainderDropped) {
    scripted().frequency = 3'579'545;
    Clock::initializeFrequency();
    EXPECT_EQ(Clock::ticksPerMillisecond, 3579); // so spans read long by 3579.545 / 3579
    scripted().counter = 1'000'000;
    Clock start;
    scripted().counter = 1'000'000 + 3579 * 16;
    const Clock end;
    EXPECT_DOUBLE_EQ((end - start).milliseconds(), 16.0);
    EXPECT_DOUBLE_EQ((start - end).milliseconds(), -16.0);
    EXPECT_EQ((end - end).milliseconds(), 0.0);
    EXPECT_EQ(start.ticks, 1'000'000); // operands are left as they were

    scripted().counter = 5;
    start.update();
    EXPECT_EQ(start.ticks, 5);
}

} // namespace
