#pragma once

#include <string>
#include <typeinfo>

namespace Stimulark {

// The toolkit's one failure type: thrown and caught by value.
class Exception {
public:
    Exception();
    Exception(const std::type_info& source, const char* title, const char* message);

    // "Namespace::Class [title] message", the text of the notification box.
    std::string fullMessage() const;
    // The demangled, fully qualified name of the raising class.
    std::string sourceName() const;

    const std::type_info* source;
    std::string title;
    std::string message;
};

} // namespace Stimulark
