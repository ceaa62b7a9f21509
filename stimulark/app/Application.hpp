#pragma once

/// \file
/// The process entry's work, the program's main routine, start-up and notifications.

#include <string>
#include <vector>

/// Supplied by the program: its main routine, run by the toolkit's entry after
/// start-up. It may throw anything; the entry reports what escapes it, after the
/// routine's objects have been destroyed (so an open canvas has given the display
/// back), and still exits with code 0.
void applicationMain();

namespace Stimulark {

/// A main routine as runApplication takes it.
using MainRoutine = void (*)();

/// The process entry's work: records the arguments, applies the normal priority,
/// starts the toolkit (initializeToolkit), runs the main routine and notifies any
/// failure that escapes it. Returns the exit code, always 0.
///
/// The notification's text by what was thrown: a Stimulark::Exception its
/// Exception::fullMessage, under notificationCaption; a standard-library
/// exception stdExceptionText, whatever its kind; a `const char*` the text itself;
/// Canvas::ALREADY_OPEN "Stimulark::Canvas [ALREADY OPEN] The canvas is already
/// open."; anything else unknownExceptionText. A close request or Alt+F4 does not
/// come back here: the key query that handles it ends the process with exit code 1
/// (after the function of atCloseRequest).
int runApplication(int argc, char** argv, MainRoutine mainRoutine);
/// The same with the program's applicationMain; only the entry refers to it, so a
/// library user that does not link the entry needs no applicationMain.
inline int runApplication(int argc, char** argv) { return runApplication(argc, argv, &applicationMain); }

/// Registers what runs when the window system asks the program to close (Alt+F4, a
/// close button), before the process ends with exit code 1: a function that saves
/// what the experiment has not written yet. It runs once, with the canvas still
/// open; a close request that arrives meanwhile is ignored. What escapes it is
/// written to standard error as the entry reports a failure, without a box, and the
/// exit code stays 1. A later call replaces the function; nullptr removes it.
void atCloseRequest(void (*save)());

/// The arguments the process was started with, the program's own name first, as
/// the entry recorded them; empty when the program did not start through the entry.
const std::vector<std::string>& commandLineArguments();

/// One-time start-up; later calls do nothing. Seeds the random generators, reads the
/// clock's frequency, fills the key table, clears keyboard, mouse and the variable
/// monitor, and finds the folders of the file placeholders. The entry calls it; a
/// program without the entry must call it before using anything else. Throws what
/// Clock::initializeFrequency and File::initializeFolders throw.
void initializeToolkit();
/// Whether initializeToolkit has run to its end.
bool toolkitInitialized();

/// Shows a notification: one line `caption: text` on standard error, then, unless
/// the environment variable `STIMULARK_NOTIFICATIONS` is `stderr` or no display can
/// be reached, the platform's modal box, which waits for OK. Open canvases are hidden
/// while the box is up. A null caption or text shows as empty.
void notify(const char* caption, const char* text);

/** @{ */
/// Captions and texts runApplication notifies failures with.
inline constexpr const char* notificationCaption = "Stimulark Notification";
inline constexpr const char* stdExceptionCaption = "Stimulark Notification : std lib exception";
inline constexpr const char* stdExceptionText = "no named exception thrown";
inline constexpr const char* unknownExceptionCaption = "Stimulark Notification : unknown exception";
inline constexpr const char* unknownExceptionText = "an exception of an unknown type was thrown";
/** @} */

} // namespace Stimulark
