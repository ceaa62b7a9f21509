#pragma once

/// \file
/// The variable monitor: named values shown in a panel and stepped with the arrow
/// keys while the program runs.

#include "stimulark/color/Color.hpp"

#include <limits>
#include <string>
#include <type_traits>
#include <vector>

namespace Stimulark {

/// A row of the variable monitor, as the monitor sees it.
///
/// A variable shown in the monitor panel (one 200 x 50 row each) and stepped with
/// the arrow keys during every flip: up and down select, right and left step, shift
/// takes the larger step. The monitor calls draw, decrement and increment only;
/// their places in this list (third, eighth, ninth) are part of the interface.
class VariableMonitor_Holder {
public:
    /// Leaves the list to the derived class: MonitoredVariable removes itself.
    virtual ~VariableMonitor_Holder();
    /// The row's label.
    virtual const char* name() const = 0;
    /// Draws the row with its top-left corner at (x, y) on the current canvas,
    /// marked when it is the selected one; the monitor passes 0 as `flags`.
    virtual void draw(double x, double y, bool selected, int flags) = 0;
    /// The value the row shows, whatever its type.
    virtual double value() const = 0;
    /// Sets the value; the holder keeps it within its own bounds and type.
    virtual void setValue(double value) = 0;
    /// What one right or left press adds or takes away.
    virtual double step() const = 0;
    /// The step while shift is held.
    virtual double largeStep() const = 0;
    /// One left press; `shift` takes the large step.
    virtual void decrement(bool shift) = 0;
    /// One right press; `shift` takes the large step.
    virtual void increment(bool shift) = 0;
};

/// The panel's rows, top first. Not owning: holders register and remove themselves.
extern constinit std::vector<VariableMonitor_Holder*> variableMonitors;
/// The index of the selected row. A program may set it; a value outside the list is
/// brought back into it before it is used.
extern constinit int selectedMonitor;

/** @{ */
/// Its width and row height in pixels and its colour (translucent black); it
/// stands at the canvas's top-left corner.
inline constexpr double monitorPanelWidth = 200.0;
inline constexpr double monitorRowHeight = 50.0;
inline constexpr Color monitorPanelColor{0.0, 0.0, 0.0, 0.5}; // translucent black
/** @} */

/// Handles the monitor keys (only when something is registered) and draws the panel.
/// With nothing registered it queries no key and draws nothing, so it runs before
/// any canvas is current. Canvas::flip calls it; its key queries handle window
/// messages as any Keyboard::query does.
void drawVariableMonitor();

/// A ready holder: a named int or double that joins the monitor when constructed
/// and leaves it when destroyed. Right and left step it by `step`, or by
/// `largeStep` while shift is held, and it never leaves [lower, upper].
///
/// \code{.cpp}
/// MonitoredDouble contrast("contrast", 0.5, 0.01, 0.1, 0.0, 1.0);
/// // ... draw with contrast.get() every frame ...
/// \endcode
template <typename T>
class MonitoredVariable final : public VariableMonitor_Holder {
    static_assert(std::is_same_v<T, int> || std::is_same_v<T, double>, "int or double");

public:
    /// Refuses negative or undefined (NaN) steps and bounds that are reversed or
    /// undefined ("ARGUMENT ERROR"); the initial value is brought into the bounds
    /// (an undefined one leaves the lower bound). Joins the end of the list.
    MonitoredVariable(std::string name, T initial, T step, T largeStep,
                      T lower = std::numeric_limits<T>::lowest(), T upper = std::numeric_limits<T>::max());
    /// Leaves the list; the selection stays on the row it was on.
    ~MonitoredVariable() override;
    /** @{ */
    /// The list holds this object's address.
    MonitoredVariable(const MonitoredVariable&) = delete;
    MonitoredVariable& operator=(const MonitoredVariable&) = delete;
    /** @} */

    /** @{ */
    /// The current value, within [lower, upper].
    T get() const { return current_; }
    operator T() const { return current_; }
    /** @} */
    /// Clamps into the bounds; an undefined value is ignored.
    void set(T value);

    const char* name() const override { return name_.c_str(); }
    /// Name above value in white; the selected row is highlighted with a bar at its left.
    void draw(double x, double y, bool selected, int flags) override;
    /// get() as a double.
    double value() const override { return static_cast<double>(current_); }
    /// Clamps, and rounds for an int; an undefined value is ignored.
    void setValue(double value) override;
    double step() const override { return static_cast<double>(step_); }
    double largeStep() const override { return static_cast<double>(largeStep_); }
    void decrement(bool shift) override;
    void increment(bool shift) override;

    /** @{ */
    /// The bounds given at construction, by default the whole range of T.
    T lower() const { return lower_; }
    T upper() const { return upper_; }
    /** @} */

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

/// A monitored int; steps and bounds are ints.
using MonitoredInt = MonitoredVariable<int>;
/// A monitored double.
using MonitoredDouble = MonitoredVariable<double>;

} // namespace Stimulark
