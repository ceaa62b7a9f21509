#include "stimulark/core/Exception.hpp"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace Stimulark {

Exception::Exception() : source(&typeid(Exception)) {}

Exception::Exception(const std::type_info& source, const char* title, const char* message)
    : source(&source), title(title ? title : ""), message(message ? message : "") {}

std::string Exception::sourceName() const {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(source->name(), nullptr, nullptr, &status), std::free);
    return status == 0 && demangled ? std::string(demangled.get()) : std::string(source->name());
}

std::string Exception::fullMessage() const {
    return sourceName() + " [" + title + "] " + message;
}

} // namespace Stimulark
