#pragma once

#include <string>
#include <vector>

// Supplied by the program: its main routine, run by the toolkit's entry after
// start-up. It may throw anything; the entry reports what escapes it.
void applicationMain();

namespace Stimulark {

using MainRoutine = void (*)();

// The process entry's work: records the arguments, applies the normal priority,
// starts the toolkit, runs the main routine and notifies any failure. Returns the
// exit code, always 0.
int runApplication(int argc, char** argv, MainRoutine mainRoutine);
// The same with the program's applicationMain; only the entry refers to it, so a
// library user that does not link the entry needs no applicationMain.
inline int runApplication(int argc, char** argv) { return runApplication(argc, argv, &applicationMain); }

// The arguments the process was started with, the program's own name first, as
// the entry recorded them; empty when the program did not start through the entry.
const std::vector<std::string>& commandLineArguments();

// One-time start-up; later calls do nothing.
void initializeToolkit();
bool toolkitInitialized();

// Shows a notification: the platform's modal box plus a copy on standard error.
void notify(const char* caption, const char* text);

inline constexpr const char* notificationCaption = "Stimulark Notification";
inline constexpr const char* stdExceptionCaption = "Stimulark Notification : std lib exception";
inline constexpr const char* stdExceptionText = "no named exception thrown";
inline constexpr const char* unknownExceptionCaption = "Stimulark Notification : unknown exception";
inline constexpr const char* unknownExceptionText = "an exception of an unknown type was thrown";

} // namespace Stimulark
