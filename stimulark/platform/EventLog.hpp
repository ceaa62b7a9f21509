#pragma once

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>

namespace Stimulark {

// Input as the window system reported it, stamped in counter ticks.
struct KeyRecord {
    std::uint8_t virtualKey = 0;
    bool pressed = false;
    std::int64_t ticks = 0;
};
struct ButtonRecord {
    int button = 0;
    bool pressed = false;
    int x = 0;
    int y = 0;
    std::int64_t ticks = 0;
};

// A bounded first-in first-out log: when full, a new record pushes out the oldest,
// which is counted as lost. Fixed storage, so logging never allocates.
template <typename Record, std::size_t Capacity>
class EventLog {
public:
    static constexpr std::size_t capacity = Capacity;

    void push(const Record& record) {
        if (count_ == Capacity) {
            head_ = (head_ + 1) % Capacity;
            --count_;
            if (lost_ < INT_MAX)
                ++lost_;
        }
        records_[(head_ + count_) % Capacity] = record;
        ++count_;
    }
    bool pop(Record& out) {
        if (count_ == 0)
            return false;
        out = records_[head_];
        head_ = (head_ + 1) % Capacity;
        --count_;
        return true;
    }
    // Drops every record stamped before `ticks`, wherever it stands, and the count
    // of lost records; later ones keep their order.
    void forgetBefore(std::int64_t ticks) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < count_; ++i) {
            const Record& record = records_[(head_ + i) % Capacity];
            if (record.ticks >= ticks)
                records_[(head_ + kept++) % Capacity] = record;
        }
        count_ = kept;
        lost_ = 0;
    }
    std::size_t size() const { return count_; }
    int lost() const { return lost_; }

private:
    std::array<Record, Capacity> records_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    int lost_ = 0;
};

} // namespace Stimulark
