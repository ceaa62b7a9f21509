#include "stimulark/app/Application.hpp"

#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/canvas/VariableMonitor.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/file/File.hpp"
#include "stimulark/math/Random.hpp"
#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Clock.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/Platform.hpp"

#include <cstdio>
#include <exception>

namespace Stimulark {

namespace {
bool initialized = false;
std::vector<std::string> arguments;

void recordArguments(int argc, char** argv) {
    arguments.clear();
    for (int i = 0; argv != nullptr && i < argc; ++i)
        arguments.emplace_back(argv[i] ? argv[i] : "");
}
} // namespace

const std::vector<std::string>& commandLineArguments() { return arguments; }

bool toolkitInitialized() { return initialized; }

void initializeToolkit() {
    if (initialized)
        return;
    seedRandom();
    applicationProperties.initialize();
    Clock::initializeFrequency();
    resetKeyboard();
    resetMouse();
    variableMonitors.clear();
    File::initializeFolders();
    initialized = true;
}

void notify(const char* caption, const char* text) {
    platform().showNotification(caption, text);
}

namespace {

struct Failure {
    const char* caption;
    std::string text;
};

// What the failure being handled is reported as; called inside a catch block.
Failure currentFailure() {
    try {
        throw;
    } catch (Exception e) {
        return {notificationCaption, e.fullMessage()};
    } catch (const std::exception&) { // the kind does not matter: the text is fixed
        return {stdExceptionCaption, stdExceptionText};
    } catch (const char* text) {
        return {notificationCaption, text ? text : ""}; // a thrown null must not crash the report
    } catch (Canvas::Error) {
        // The canvas's only error code: reported like a toolkit failure of the canvas.
        return {notificationCaption,
                Exception(typeid(Canvas), "ALREADY OPEN", "The canvas is already open.").fullMessage()};
    } catch (...) {
        return {unknownExceptionCaption, unknownExceptionText};
    }
}

void (*closeRequestSave)() = nullptr;

// The process ends right after: a box would hold the close the user asked for.
void runCloseRequestSave() {
    try {
        closeRequestSave();
    } catch (...) {
        const Failure failure = currentFailure();
        std::fprintf(stderr, "%s: %s\n", failure.caption, failure.text.c_str());
        std::fflush(stderr);
    }
}

} // namespace

void atCloseRequest(void (*save)()) {
    closeRequestSave = save;
    closeRequestHandler = save ? &runCloseRequestSave : nullptr;
}

int runApplication(int argc, char** argv, MainRoutine mainRoutine) {
    applicationProperties.initialize(argc, argv);
    try {
        recordArguments(argc, argv);
        platform().setNormalPriority();
        initializeToolkit();
        mainRoutine();
    } catch (...) {
        // Left to std::terminate, an unknown type would skip the destructors, which
        // give back the display (its gamma ramp above all), and report nothing.
        const Failure failure = currentFailure();
        notify(failure.caption, failure.text.c_str());
    }
    return 0;
}

} // namespace Stimulark
