#pragma once

#include "stimulark/app/Exception.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace Stimulark::Testing {

// What an operation threw, comparable in one expectation.
struct Failure {
    std::string source;
    std::string title;
    std::string message;
    bool operator==(const Failure&) const = default;
};

inline void PrintTo(const Failure& f, std::ostream* os) {
    *os << f.source << " [" << f.title << "] " << f.message;
}

template <typename F>
Failure failureOf(F&& operation) {
    try {
        operation();
    } catch (const Exception& e) {
        return {e.sourceName(), e.title, e.message};
    }
    return {"nothing thrown", "", ""};
}

inline Failure imageFailure(const char* title, const char* message) { return {"Stimulark::Image", title, message}; }

inline const Failure outOfBound = imageFailure("Out Of Bound Exception", "Specified coordinate is out of bound.");
inline const Failure noBitmap = imageFailure("Memory Error", "The Image does not have bitmap instance.");
inline const Failure noCanvas = {"Stimulark::Canvas", "NO CANVAS", "There is no open canvas to draw on."};

} // namespace Stimulark::Testing
