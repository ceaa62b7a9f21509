#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/canvas/VariableMonitor.hpp"
#include "stimulark/file/File.hpp"
#include "support/Scripted.hpp"

#include <iostream>
#include <tuple>
#include <stdexcept>

namespace Stimulark::Testing {
namespace {

using Notes = std::vector<std::pair<std::string, std::string>>;
const std::string caption = "Stimulark Notification";

// A program's static objects may be built before the toolkit's: its colours, clamping and names must be ready.
const std::array earlyColors{rgba(Color::white), rgba(Color::magenta), rgba(Color(0.25, 2.0, -1.0, 0.5))};
const std::string earlyNames = File::pathIds()[File::USER_DOCUMENTS].id + "|" + File::pathIds()[File::APP].path +
                               "|" + applicationProperties.windowClassName;

TEST(StaticInitialisation, ToolkitObjectsAreReadyForAProgramsStaticObjects) {
    EXPECT_EQ(earlyColors, (std::array{rgba(Color::white), rgba(Color::magenta), std::array{0.25, 1.0, 0.0, 0.5}}));
    EXPECT_EQ(earlyNames, "%USER_DOCUMENTS%||StimularkWindow");
}

// Logs the start-up's platform calls and the toolkit state when the clock and the folders are asked for.
struct ObservingPlatform : ScriptedPlatform {
    void setNormalPriority() override { calls += "priority "; }
    std::int64_t counterFrequency() override {
        calls += "frequency ";
        randomAtClock = std::rand();
        return frequency;
    }
    std::string executablePath() override {
        calls += "folders ";
        readyAtFolders = !Keyboard::keyStates[PUSHED][VK_ESCAPE] && !Mouse::showCursorCross && variableMonitors.empty();
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
[[noreturn]] void startUpTwice() {
    installPlatform(std::make_unique<ObservingPlatform>());
    auto& host = static_cast<ObservingPlatform&>(platform());
    host.frequency = 0; // its text is checked with the clock and end to end
    EXPECT_EQ(runApplication(3, arguments, &countRun), 0);
    EXPECT_TRUE(mainRuns == 0 && !toolkitInitialized() && host.notifications.size() == 1)
        << "start-up and main routine stop at the missing counter, which is notified";
    host.frequency = 3'579'545;
    host.calls.clear();
    Keyboard::keyStates[PUSHED][VK_ESCAPE] = 0x80;
    Mouse::showCursorCross = true;
    variableMonitors.push_back(nullptr);
    std::srand(1);
    const int unseeded = std::rand();
    std::srand(1);
    runApplication(3, arguments, &countRun);
    // Entry: properties with the arguments, priority; start-up: seed, properties, clock, input, monitors, folders.
    EXPECT_EQ(host.calls, "priority priority priority frequency folders ");
    EXPECT_TRUE(host.randomAtClock != unseeded && host.readyAtFolders)
        << "seeded before the clock, input and monitors reset before folders";
    EXPECT_EQ(File::pathIds()[File::APP].path + applicationProperties.commandLine, "/opt/scripted/bin/--first second");
    EXPECT_EQ(commandLineArguments(), (std::vector<std::string>{"/opt/scripted/bin/program", "--first", "second"}));
    EXPECT_TRUE(mainRuns == 1 && toolkitInitialized() && host.notifications.size() == 1); // no new notification
    host.calls.clear();
    runApplication(3, arguments, &countRun);
    EXPECT_EQ(host.calls + std::to_string(mainRuns), "priority priority 2"); // a second start-up does nothing
    EXPECT_EQ(commandLineArguments().size(), 3u) << "each run records the arguments afresh";
    const testing::TestResult& result = *testing::UnitTest::GetInstance()->current_test_info()->result();
    for (int i = 0; i < result.total_part_count(); ++i)
        std::cerr << result.GetTestPartResult(i); // a child's own reports are not shown
    std::exit(result.total_part_count());
}

TEST(EntryDeathTest, StartUpRunsItsStepsOnceInOrderAndOnlyWithACounter) {
    EXPECT_EXIT(startUpTwice(), testing::ExitedWithCode(0), "");
}

int notificationsAtDestruction = -1;
struct NotificationsAtDestruction {
    ~NotificationsAtDestruction() {
        notificationsAtDestruction = static_cast<int>(static_cast<ScriptedPlatform&>(platform()).notifications.size());
    }
};

// Whatever escapes the main routine is notified: nothing ends the program through std::terminate.
TEST_F(ScriptedTest, EachCaughtKindOfFailureIsNotifiedWithItsCaption) {
    const std::pair<MainRoutine, Notes> cases[] = {
        {[] { throw Exception(typeid(Clock), "API", "Failed."); }, {{caption, "Stimulark::Clock [API] Failed."}}},
        {[] { throw Exception(typeid(Keyboard), nullptr, nullptr); }, {{caption, "Stimulark::Keyboard [] "}}},
        {[] { throw std::runtime_error("x"); }, {{caption + " : std lib exception", "no named exception thrown"}}},
        {[] { throw "A plain report."; }, {{caption, "A plain report."}}},
        {[] { throw static_cast<const char*>(nullptr); }, {{caption, ""}}},
        {&countRun, {}},
        {[] { throw Canvas::ALREADY_OPEN; },
         {{caption, "Stimulark::Canvas [ALREADY OPEN] The canvas is already open."}}},
        {[] {
             const NotificationsAtDestruction local;
             throw 42;
         },
         {{caption + " : unknown exception", "an exception of an unknown type was thrown"}}}};
    for (const auto& [routine, expected] : cases) {
        scripted().notifications.clear();
        notificationsAtDestruction = -1;
        EXPECT_EQ(runApplication(1, arguments, routine), 0);
        EXPECT_EQ(scripted().notifications, expected);
    }
    EXPECT_EQ(notificationsAtDestruction, 0) << "the routine's objects are destroyed before the notification";
}

int saves = 0;

// A close request runs the registered save once, before the exit with code 1; a close request while it runs is
// ignored; what escapes it goes to standard error as the entry reports it, with no box; later calls replace it and
// nullptr removes it.
TEST_F(ScriptedTest, ACloseRequestRunsTheRegisteredSaveOnceBeforeTheExit) {
    const auto close = [&](std::uint32_t request) {
        saves = 0;
        mainRuns = 0;
        scripted().queue({0, request, 0, 0, 0});
        testing::internal::CaptureStderr();
        int code = -1;
        try {
            Keyboard::query(KEY_ESCAPE, PUSHED);
        } catch (const ScriptedPlatform::ProcessExit& exit) {
            code = exit.code;
        }
        return std::tuple(code, saves, testing::internal::GetCapturedStderr());
    };
    const auto closeWith = [&](void (*save)(), std::uint32_t request) {
        atCloseRequest(save);
        return close(request);
    };
    const auto asksAgain = [] {
        ++saves;
        static_cast<ScriptedPlatform&>(platform()).queue({0, WM_CLOSE, 0, 0, 0});
        Keyboard::query(KEY_ESCAPE, PUSHED); // handles the second request: ignored
    };
    for (const std::uint32_t request : {WM_CLOSE, WM_QUIT, WM_DESTROY})
        EXPECT_EQ(closeWith(asksAgain, request), std::tuple(1, 1, std::string())) << request;
    EXPECT_EQ(closeWith([] { ++saves; throw Exception(typeid(File), "FILE ACCESS ERROR", "Failed."); }, WM_CLOSE),
              std::tuple(1, 1, caption + ": Stimulark::File [FILE ACCESS ERROR] Failed.\n"));
    EXPECT_EQ(closeWith([] { throw 42; }, WM_CLOSE),
              std::tuple(1, 0, caption + " : unknown exception: an exception of an unknown type was thrown\n"));
    EXPECT_TRUE(scripted().notifications.empty()) << "no box";
    EXPECT_EQ(closeWith(nullptr, WM_CLOSE), std::tuple(1, 0, std::string()));
    atCloseRequest(&countRun);
    atCloseRequest(asksAgain);
    EXPECT_EQ(close(WM_CLOSE), std::tuple(1, 1, std::string()));
    EXPECT_EQ(mainRuns, 0) << "the last one registered runs, alone";
    atCloseRequest(nullptr);
}

} // namespace
} // namespace Stimulark::Testing
