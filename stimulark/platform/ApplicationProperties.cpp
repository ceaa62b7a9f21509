#include "stimulark/platform/ApplicationProperties.hpp"

#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/Platform.hpp"

#include <string>

namespace Stimulark {

constinit APIApplicationProperties applicationProperties;

namespace {
// The default construction's share of work that cannot run at compile time.
const bool propertiesStarted = (applicationProperties.initialize(), true);
} // namespace

void APIApplicationProperties::initialize() {
    mainThreadId = platform().currentThreadId();
    windowClassName = "StimularkWindow";
    applicationName = "Stimulark Application";
    priorityClasses = {HIGH_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS, BELOW_NORMAL_PRIORITY_CLASS,
                       IDLE_PRIORITY_CLASS, IDLE_PRIORITY_CLASS};
    platform().setNormalPriority(); // priorityClasses[1]; the only class ever applied
}

void APIApplicationProperties::initialize(int argc, char** argv) {
    argumentCount = argc;
    arguments = argv;
    // The command line after the program's own name, arguments joined by blanks.
    static std::string line;
    line.clear();
    for (int i = 1; argv && i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i] ? argv[i] : "";
    }
    commandLine = line.c_str();
    initialize();
}

std::intptr_t windowProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) {
    switch (message) {
    case WM_DESTROY:
    case WM_CLOSE:
        platform().postQuitMessage(0);
        return 0;
    default:
        return platform().defWindowProc(window, message, wParam, lParam);
    }
}

void pumpMessage() {
    // A close request is being handled: the process ends after it. Reset should the
    // exit come back as an exception (a test's platform).
    static bool closing = false;
    Platform& host = platform();
    Message message;
    if (host.peekMessage(message)) {
        switch (message.code) {
        case WM_DESTROY:
        case WM_CLOSE:
        case WM_QUIT:
            if (closing)
                break;
            {
                closing = true;
                const struct Reopen {
                    ~Reopen() { closing = false; }
                } reopen;
                if (closeRequestHandler)
                    closeRequestHandler();
                host.exitProcess(1);
            }
        case WM_KEYDOWN:
        case WM_KEYUP:
            break;
        case WM_SYSKEYDOWN:
            if (message.wParam == VK_F4)
                host.postQuitMessage(0);
            break;
        case WM_LBUTTONDOWN: Mouse::buttonDown(LEFT_BUTTON); break;
        case WM_LBUTTONUP: Mouse::buttonUp(LEFT_BUTTON); break;
        case WM_RBUTTONDOWN: Mouse::buttonDown(RIGHT_BUTTON); break;
        case WM_RBUTTONUP: Mouse::buttonUp(RIGHT_BUTTON); break;
        case WM_MBUTTONDOWN: Mouse::buttonDown(MIDDLE_BUTTON); break;
        case WM_MBUTTONUP: Mouse::buttonUp(MIDDLE_BUTTON); break;
        default:
            host.translateMessage(message);
            host.dispatchMessage(message);
            break;
        }
    }
    refreshKeyboard();
    refreshMouse();
}

} // namespace Stimulark
