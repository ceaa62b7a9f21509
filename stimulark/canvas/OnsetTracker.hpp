#pragma once

#include "stimulark/canvas/Onsets.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Stimulark {

class FrameDisplay;

// The swaps of one canvas and what its display has reported of them: which reports
// to ask for, matching each answer to its swap by identity, checking each source's
// first answers, giving up on sources that stay silent or come too late, and the
// interval log, which late answers still correct.
//
// Program flips are numbered from 1 since opening and the last flipsKept are kept;
// other swaps (opening's blanking, the refresh measurement) carry internalSwap and
// only the last few are kept.
class OnsetTracker {
public:
    static constexpr std::size_t flipsKept = 1024;
    static constexpr std::uint64_t internalSwap = std::uint64_t{1} << 63;
    // An awaited report not in within this many frame durations of its swap's
    // return is late; this many late flips in a row stop the waiting for that source.
    static constexpr double reportBound = 2.0;
    static constexpr int lateLimit = 10;
    // Feedback requests unanswered for this many frame durations, this many in a row,
    // stop the asking: a compositor that never answers keeps each request.
    static constexpr double silenceBound = 4.0;
    static constexpr int silenceLimit = 10;
    // Reports of a source checked for sanity before it is trusted.
    static constexpr int checkedReports = 10;

    OnsetTracker();

    std::uint64_t nextSwap(bool program) { return program ? ++flips_ : internalSwap | ++internal_; }
    long long flipCount() const { return static_cast<long long>(flips_); }
    // The identity of the last swap recorded; 0 before the first.
    std::uint64_t lastSwap() const { return last_; }

    // The sources to ask at this swap interval. Frame callbacks only where swaps wait
    // for the retrace: otherwise replaced frames share the shown one's repaint.
    unsigned wanted(int swapInterval) const;
    // Keeps a swap just made, under its identity.
    void record(const FrameStamps& stamps);
    FrameStamps* find(std::uint64_t swap);
    const FrameStamps* find(std::uint64_t swap) const;

    // Takes in every report that has arrived; where none has, waits for one until
    // `deadline` (counter ticks; not after now: never blocks).
    void takeIn(FrameDisplay& display, std::int64_t deadline, double frameDurationMs);
    // The source whose report a flip waits for: presentation feedback once it has
    // said presented (or where no repaint was asked for), else compositor repaint,
    // where asked for, at swap interval 1 and not given up on; 0 for none.
    unsigned awaited(const FrameStamps& frame, int swapInterval) const;
    // Waits for the awaited report of `swap` until reportBound frame durations after
    // its swap returned. With `judged`, a report not in by then counts towards the
    // source's late limit; true then.
    bool await(FrameDisplay& display, std::uint64_t swap, int swapInterval, double frameDurationMs, bool judged);

    // The interval log: one entry per program flip while recording.
    void recordLog(bool on);
    bool recording() const { return recording_; }
    // Logs a program flip; `held` is the swap before it.
    void logFlip(const FrameStamps& flip, const FrameStamps& held);
    // Each logged flip judged against the frame it replaced, with what is known now.
    std::vector<FrameJudgement> logJudgements(double frameDurationMs, bool retraceKnown) const;

private:
    struct SourceState {
        bool dropped = false; // failed its sanity check
        int checked = 0;
        std::int64_t lastStart = 0, lastTicks = 0;
        int lateStreak = 0;
        bool waitedFor = true; // false once too many reports came late
    };
    struct LoggedFrame {
        FrameStamps stamps;
        std::int32_t heldOutside = -1; // index into outside_; -1: the entry before
    };

    void apply(const PresentationReport& report, std::int64_t now);
    bool sane(SourceState& state, const FrameStamps& frame, const PresentationReport& report, std::int64_t now,
              const char*& why);
    void dropSource(unsigned source, const char* why);
    void expireFeedback(std::int64_t now, double frameDurationMs);
    template <typename Change>
    void everyCopyOf(std::uint64_t swap, Change change);
    static SourceState& stateOf(std::array<SourceState, 2>& states, unsigned source) {
        return states[source == presentationFeedback ? 0 : 1];
    }
    const SourceState& stateOf(unsigned source) const { return sources_[source == presentationFeedback ? 0 : 1]; }

    std::uint64_t flips_ = 0, internal_ = 0, last_ = 0;
    std::array<FrameStamps, flipsKept> program_{};
    std::array<FrameStamps, 8> other_{};
    std::array<SourceState, 2> sources_{};
    bool feedbackProven_ = false; // has said presented once
    bool feedbackAsked_ = true;   // false once requests stayed unanswered
    int silentStreak_ = 0;
    // Swaps with feedback asked and not yet judged silent, oldest first.
    std::array<std::uint64_t, 256> pendingFeedback_{};
    std::size_t pendingHead_ = 0, pendingCount_ = 0;

    bool recording_ = false;
    std::uint64_t logFirst_ = 0;
    std::vector<LoggedFrame> log_;
    std::vector<FrameStamps> outside_; // held frames that are no entry of the log
};

} // namespace Stimulark
