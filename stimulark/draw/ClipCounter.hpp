#pragma once

#include <vector>

namespace Stimulark {

// Counts, with occlusion queries, the fragments of counting passes: those that draw a
// channel out of the display's range. The results are read once glFinish has run, so
// reading never waits for the GPU.
class ClipCounter {
public:
    ClipCounter() = default;
    ~ClipCounter();
    ClipCounter(const ClipCounter&) = delete;
    ClipCounter& operator=(const ClipCounter&) = delete;

    void begin();
    void end();
    // The fragments counted since the last call.
    long long take();

private:
    // Bounds the queries a program that never flips keeps open: beyond it they are read
    // (waiting) and their names reused.
    static constexpr std::size_t most = 64;
    std::vector<unsigned> queries_;
    std::size_t used_ = 0;
    long long counted_ = 0;
};

} // namespace Stimulark
