// The process entry of a Windows program, a GUI-subsystem executable: WinMain
// records what Windows hands it and runs the same entry as main does elsewhere.
#include "stimulark/app/Application.hpp"
#include "stimulark/platform/ApplicationProperties.hpp"

#include "stimulark/platform/win32/WindowsApi.hpp"

#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    Stimulark::applicationProperties.instance = instance;
    Stimulark::applicationProperties.previousInstance = previous;
    Stimulark::applicationProperties.showCommand = showCommand;
    (void)commandLine; // the arguments come split, from the C runtime
    return Stimulark::runApplication(__argc, __argv);
}
