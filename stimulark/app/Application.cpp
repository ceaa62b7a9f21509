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

int runApplication(int argc, char** argv, MainRoutine mainRoutine) {
    applicationProperties.initialize(argc, argv);
    try {
        recordArguments(argc, argv);
        platform().setNormalPriority();
        initializeToolkit();
        mainRoutine();
    } catch (Exception e) {
        notify(notificationCaption, e.fullMessage().c_str());
    } catch (const std::exception&) { // the kind does not matter: the text is fixed
        notify(stdExceptionCaption, stdExceptionText);
    } catch (const char* text) {
        notify(notificationCaption, text ? text : ""); // a thrown null must not crash the report
    } catch (Canvas::Error) {
        // The canvas's only error code: reported like a toolkit failure of the canvas.
        notify(notificationCaption, Exception(typeid(Canvas), "ALREADY OPEN", "The canvas is already open.")
                                        .fullMessage()
                                        .c_str());
    } catch (...) {
        // Left to std::terminate, an unknown type would skip the destructors, which
        // give back the display (its gamma ramp above all), and report nothing.
        notify(unknownExceptionCaption, unknownExceptionText);
    }
    return 0;
}

} // namespace Stimulark
