#include "stimulark/app/Application.hpp"
#include "stimulark/app/Exception.hpp"
#include "stimulark/canvas/VariableMonitor.hpp"
#include "stimulark/file/File.hpp"
#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Clock.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/ScriptedPlatform.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <stdexcept>

namespace {

using namespace Stimulark;
using Notes = std::vector<std::pair<std::string, std::string>>;

// Logs the start-up's platform calls and the toolkit state when the clock and
// the folders are asked for.
class ObservingPlatform : public ScriptedPlatform {
public:
    void setNormalPriority() override { calls += "priority "; }
    std::uint64_t currentThreadId() override { return calls += "thread ", 1; }
    std::int64_t counterFrequency() override {
        calls += "frequency ";
        randomAtClock = std::rand();
        return frequency;
    }
    std::string executablePath() override {
        calls += "folders ";
        readyAtFolders = Keyboard::keyStates[PUSHED][VK_ESCAPE] == 0 && Keyboard::keyCodes[KEY_ESCAPE] == VK_ESCAPE &&
                         !Mouse::showCursorCross && variableMonitors.empty();
        return exePath;
    }

    std::string calls;
    int randomAtClock = 0;
    bool readyAtFolders = false;
};

int mainRuns = 0;
void countRun() { ++mainRuns; }

char name[] = "/opt/scripted/bin/program", first[] = "--first", second[] = "second";
char* arguments[] = {name, first, second, nullptr};

// Runs in a child process, where the once-only start-up has not happened yet.
int startUpFailures() {
    auto owned = std::make_unique<ObservingPlatform>();
    ObservingPlatform& host = *owned;
    installPlatform(std::move(owned));
    int failures = 0;
    auto check = [&](bool ok, const char* what) {
        if (ok)
            return;
        std::fprintf(stderr, "failed: %s (calls: %s)\n", what, host.calls.c_str());
        ++failures;
    };

    host.frequency = 0;
    check(runApplication(3, arguments, &countRun) == 0, "exit code 0 after the missing counter");
    check(host.notifications == Notes{{"Stimulark Notification",
                                       "Stimulark::Clock [HARDWARE NOT SUPPORTED] This computer does not support "
                                       "high-resolution performance counter."}},
          "the missing counter's notification");
    check(mainRuns == 0 && !toolkitInitialized() && host.calls.find("folders") == std::string::npos,
          "start-up and main routine stop at the missing counter");

    host.frequency = 3'579'545;
    host.notifications.clear();
    host.calls.clear();
    Keyboard::keyStates[PUSHED][VK_ESCAPE] = 0x80;
    Mouse::showCursorCross = true;
    variableMonitors.push_back(nullptr);
    std::srand(1);
    const std::time_t before = std::time(nullptr);
    check(runApplication(3, arguments, &countRun) == 0, "exit code 0 after a normal end");
    const std::time_t after = std::time(nullptr);
    // Entry: arguments stored, priority; start-up: seed, properties, clock, input, monitors, folders.
    check(host.calls.starts_with("thread priority priority thread priority frequency folders "), "order of steps");
    bool seeded = false;
    for (std::time_t t = before; t <= after; ++t) {
        std::srand(static_cast<unsigned>(t));
        seeded = seeded || std::rand() == host.randomAtClock;
    }
    check(seeded, "generators seeded from the time before the clock is read");
    check(host.readyAtFolders, "input reset and monitor list emptied before the folders");
    check(Clock::ticksPerMillisecond == 3579 && File::pathIds()[File::APP].path == "/opt/scripted/bin/",
          "clock and folders set up");
    check(mainRuns == 1 && toolkitInitialized() && host.notifications.empty(), "main routine ran once, quietly");
    check(std::string(applicationProperties.commandLine) == "--first second", "command line after the name");

    host.calls.clear();
    check(runApplication(3, arguments, &countRun) == 0 && mainRuns == 2, "a later run reaches the main routine");
    check(host.calls == "thread priority priority ", "a second start-up does nothing");
    return failures;
}

TEST(EntryDeathTest, StartUpRunsItsStepsOnceInOrderAndOnlyWithACounter) {
    EXPECT_EXIT(std::exit(startUpFailures()), testing::ExitedWithCode(0), "");
}

Notes notificationsOf(MainRoutine routine) {
    auto owned = std::make_unique<ScriptedPlatform>();
    ScriptedPlatform& host = *owned;
    auto previous = installPlatform(std::move(owned));
    EXPECT_EQ(runApplication(1, arguments, routine), 0);
    const Notes notes = host.notifications;
    installPlatform(std::move(previous));
    return notes;
}

TEST(Entry, EachCaughtKindOfFailureIsNotifiedWithItsCaption) {
    const Notes stdNote{{"Stimulark Notification : std lib exception", "no named exception thrown"}};
    EXPECT_EQ(notificationsOf([] { throw Exception(typeid(Clock), "API ERROR", "Failed."); }),
              (Notes{{"Stimulark Notification", "Stimulark::Clock [API ERROR] Failed."}}));
    EXPECT_EQ(notificationsOf([] { throw std::runtime_error("never shown"); }), stdNote);
    EXPECT_EQ(notificationsOf([] { throw std::bad_alloc(); }), stdNote);
    EXPECT_EQ(notificationsOf([] { throw "A plain report."; }), (Notes{{"Stimulark Notification", "A plain report."}}));
    EXPECT_EQ(notificationsOf([] { throw static_cast<const char*>(nullptr); }),
              (Notes{{"Stimulark Notification", ""}}));
    EXPECT_EQ(notificationsOf(&countRun), Notes{});
}

TEST(EntryDeathTest, OtherFailuresAreLeftToTheRuntime) {
    const auto entry = []() noexcept { notificationsOf([] { throw 42; }); }; // as if escaping main
    EXPECT_DEATH(entry(), "");
}

} // namespace
