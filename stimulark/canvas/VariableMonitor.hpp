#pragma once

#include "stimulark/color/Color.hpp"

#include <limits>
#include <string>
#include <type_traits>
#include <vector>

namespace Stimulark {

// A variable shown in the monitor panel (one 200 x 50 row each) and stepped with
// the arrow keys during every flip: up and down select, right and left step, shift
// takes the larger step. The monitor calls draw, decrement and increment only;
// their places in this list (third, eighth, ninth) are part of the interface.
class VariableMonitor_Holder {
public:
    virtual ~VariableMonitor_Holder();
    virtual const char* name() const = 0;
    virtual void draw(double x, double y, bool selected, int flags) = 0;
    virtual double value() const = 0;
    virtual void setValue(double value) = 0;
    virtual double step() const = 0;
    virtual double largeStep() const = 0;
    virtual void decrement(bool shift) = 0;
    virtual void increment(bool shift) = 0;
};

// Not owning: holders register and remove themselves.
extern constinit std::vector<VariableMonitor_Holder*> variableMonitors;
extern constinit int selectedMonitor;

inline constexpr double monitorPanelWidth = 200.0;
inline constexpr double monitorRowHeight = 50.0;
inline constexpr Color monitorPanelColor{0.0, 0.0, 0.0, 0.5}; // translucent black

// Handles the monitor keys (only when something is registered) and draws the panel.
// With nothing registered it queries no key and draws nothing, so it runs before
// any canvas is current.
void drawVariableMonitor();

// A ready holder: a named int or double that joins the monitor when constructed
// and leaves it when destroyed. Right and left step it by `step`, or by
// `largeStep` while shift is held, and it never leaves [lower, upper].
//
//     MonitoredDouble contrast("contrast", 0.5, 0.01, 0.1, 0.0, 1.0);
//     ... draw with contrast.get() every frame ...
template <typename T>
class MonitoredVariable final : public VariableMonitor_Holder {
    static_assert(std::is_same_v<T, int> || std::is_same_v<T, double>, "int or double");

public:
    // Refuses negative or undefined (NaN) steps and bounds that are reversed or
    // undefined ("ARGUMENT ERROR"); the initial value is brought into the bounds.
    MonitoredVariable(std::string name, T initial, T step, T largeStep,
                      T lower = std::numeric_limits<T>::lowest(), T upper = std::numeric_limits<T>::max());
    ~MonitoredVariable() override;
    // The list holds this object's address.
    MonitoredVariable(const MonitoredVariable&) = delete;
    MonitoredVariable& operator=(const MonitoredVariable&) = delete;

    T get() const { return current_; }
    operator T() const { return current_; }
    // Clamps into the bounds; an undefined value is ignored.
    void set(T value);

    const char* name() const override { return name_.c_str(); }
    // Name above value in white; the selected row is highlighted with a bar at its left.
    void draw(double x, double y, bool selected, int flags) override;
    double value() const override { return static_cast<double>(current_); }
    // Clamps, and rounds for an int; an undefined value is ignored.
    void setValue(double value) override;
    double step() const override { return static_cast<double>(step_); }
    double largeStep() const override { return static_cast<double>(largeStep_); }
    void decrement(bool shift) override;
    void increment(bool shift) override;

    T lower() const { return lower_; }
    T upper() const { return upper_; }

private:
    void moveBy(double amount);

    std::string name_;
    T current_;
    T step_;
    T largeStep_;
    T lower_;
    T upper_;
};

extern template class MonitoredVariable<int>;
extern template class MonitoredVariable<double>;

using MonitoredInt = MonitoredVariable<int>;
using MonitoredDouble = MonitoredVariable<double>;

} // namespace Stimulark
