#pragma once

/// \file
/// The toolkit's failure type.

#include <string>
#include <typeinfo>

/// Everything of the toolkit: canvas, colours, images, input, clock, files and the
/// process entry.
namespace Stimulark {

/// The toolkit's one failure type: thrown and caught by value. It names the class
/// that raised it, a title for the kind of failure ("SIZE ERROR", "FILE ACCESS
/// ERROR" ...) and a message; the entry shows fullMessage as its notification.
class Exception {
public:
    /// A failure of Exception itself, with empty title and message.
    Exception();
    /// A failure raised by the class `source` (`typeid(Image)`, for instance); a null
    /// title or message is taken as empty.
    Exception(const std::type_info& source, const char* title, const char* message);

    /// "Namespace::Class [title] message", the text of the notification box.
    std::string fullMessage() const;
    /// The demangled, fully qualified name of the raising class; the compiler's own
    /// name for it where it cannot be demangled.
    std::string sourceName() const;

    /// The raising class; never null.
    const std::type_info* source;
    /// The kind of failure, such as "SIZE ERROR" or "Memory Error"; may be empty.
    std::string title;
    /// What went wrong, in a sentence.
    std::string message;
};

} // namespace Stimulark
