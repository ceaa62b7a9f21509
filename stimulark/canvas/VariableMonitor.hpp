#pragma once

#include <vector>

namespace Stimulark {

// A variable shown in the monitor panel (one 200 x 50 row each) and stepped with
// the arrow keys during every flip: up and down select, right and left step, shift
// takes the larger step.
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

// Handles the monitor keys (only when something is registered) and draws the panel.
void drawVariableMonitor();

} // namespace Stimulark
