#include "stimulark/canvas/VariableMonitor.hpp"

#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/geometry/Rectangle.hpp"
#include "stimulark/math/Random.hpp"
#include "stimulark/platform/Keyboard.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace Stimulark {

constinit std::vector<VariableMonitor_Holder*> variableMonitors;
constinit int selectedMonitor = 0;

namespace {

constexpr Color selectedRowColor(1.0, 1.0, 1.0, 0.25);

// Holders that outlive the list (static ones destroyed after it at exit) must not
// touch it: the guard, destroyed just before the list, raises this flag.
constinit bool monitorListGone = false;
struct ListGuard {
    ~ListGuard() { monitorListGone = true; }
};
ListGuard listGuard; // declared after the list, so destroyed before it

// The selection is a plain global a program may also write: bring it back into the
// list before it indexes anything.
void keepSelectionInRange() {
    const int count = static_cast<int>(variableMonitors.size());
    if (selectedMonitor >= count)
        selectedMonitor = count - 1;
    if (selectedMonitor < 0)
        selectedMonitor = 0;
}

void removeHolder(VariableMonitor_Holder* holder) {
    if (monitorListGone)
        return;
    const auto found = std::find(variableMonitors.begin(), variableMonitors.end(), holder);
    if (found == variableMonitors.end())
        return;
    // The selection stays on the same holder when one before it leaves.
    if (found - variableMonitors.begin() < selectedMonitor)
        --selectedMonitor;
    variableMonitors.erase(found);
    keepSelectionInRange();
}

} // namespace

VariableMonitor_Holder::~VariableMonitor_Holder() = default;

void drawVariableMonitor() {
    if (variableMonitors.empty())
        return; // the panel would cover no pixel, and no key may be consumed

    // Both steps go to the entry selected before this frame's up and down presses. A
    // step may remove holders, so the selection is checked before each use.
    keepSelectionInRange();
    if (Keyboard::query(KEY_RIGHT, PUSHED))
        variableMonitors[selectedMonitor]->increment(Keyboard::query(KEY_SHIFT, PRESSED));
    keepSelectionInRange();
    if (Keyboard::query(KEY_LEFT, PUSHED) && !variableMonitors.empty())
        variableMonitors[selectedMonitor]->decrement(Keyboard::query(KEY_SHIFT, PRESSED));
    if (Keyboard::query(KEY_UP, PUSHED)) {
        selectedMonitor -= 1;
        if (selectedMonitor < 0)
            selectedMonitor = static_cast<int>(variableMonitors.size()) - 1;
    }
    if (Keyboard::query(KEY_DOWN, PUSHED)) {
        selectedMonitor += 1;
        if (selectedMonitor >= static_cast<int>(variableMonitors.size()))
            selectedMonitor = 0;
    }

    // A step may have removed holders, so the count is taken again.
    const std::size_t count = variableMonitors.size();
    if (count == 0)
        return;
    Rectangle panel;
    panel.set(monitorPanelWidth, monitorRowHeight * static_cast<double>(count));
    panel.draw(monitorPanelColor);
    for (std::size_t i = 0; i < count; ++i)
        variableMonitors[i]->draw(0.0, monitorRowHeight * static_cast<double>(i),
                                  static_cast<int>(i) == selectedMonitor, 0);
}

namespace {

template <typename T>
[[noreturn]] void refuseArgument(const char* message) {
    throw Exception(typeid(MonitoredVariable<T>), "ARGUMENT ERROR", message);
}

template <typename T>
bool undefined(T v) {
    if constexpr (std::is_same_v<T, double>)
        return std::isnan(v);
    else
        return false;
}

void formatValue(char* out, std::size_t size, int v) { std::snprintf(out, size, "%d", v); }
void formatValue(char* out, std::size_t size, double v) { std::snprintf(out, size, "%.6g", v); }

} // namespace

template <typename T>
MonitoredVariable<T>::MonitoredVariable(std::string name, T initial, T step, T largeStep, T lower, T upper)
    : name_(std::move(name)), current_(lower), step_(step), largeStep_(largeStep), lower_(lower),
      upper_(upper) {
    if (undefined(step) || undefined(largeStep) || step < 0 || largeStep < 0)
        refuseArgument<T>("steps must not be negative.");
    if (undefined(lower) || undefined(upper) || !(lower <= upper))
        refuseArgument<T>("lower bound must not exceed upper bound.");
    set(initial); // an undefined initial value leaves the lower bound
    variableMonitors.push_back(this);
}

template <typename T>
MonitoredVariable<T>::~MonitoredVariable() {
    removeHolder(this);
}

template <typename T>
void MonitoredVariable<T>::set(T v) {
    if (std::isnan(static_cast<double>(v)))
        return;
    current_ = std::clamp(v, lower_, upper_);
}

template <typename T>
void MonitoredVariable<T>::setValue(double v) {
    if (std::isnan(v))
        return;
    const double clamped = std::clamp(v, static_cast<double>(lower_), static_cast<double>(upper_));
    if constexpr (std::is_same_v<T, int>)
        current_ = std::clamp(roundToInt(clamped), lower_, upper_);
    else
        current_ = clamped;
}

// Sums in double: exact for every int sum, and a double sum past the largest
// finite value becomes infinite, which the clamp brings back to the bound.
template <typename T>
void MonitoredVariable<T>::moveBy(double amount) {
    const double moved = static_cast<double>(current_) + amount;
    current_ = static_cast<T>(std::clamp(moved, static_cast<double>(lower_), static_cast<double>(upper_)));
}

template <typename T>
void MonitoredVariable<T>::decrement(bool shift) {
    moveBy(-static_cast<double>(shift ? largeStep_ : step_));
}

template <typename T>
void MonitoredVariable<T>::increment(bool shift) {
    moveBy(static_cast<double>(shift ? largeStep_ : step_));
}

template <typename T>
void MonitoredVariable<T>::draw(double x, double y, bool selected, int) {
    if (selected) {
        Rectangle row;
        row.set(x, y, x + monitorPanelWidth - 1.0, y + monitorRowHeight - 1.0);
        row.draw(selectedRowColor);
        row.set(x, y, x + 3.0, y + monitorRowHeight - 1.0);
        row.draw(Color::white);
    }
    // Only the blanking flips of the first canvas run before any canvas is current;
    // they are cleared away at once, so the text can wait for the next frame.
    Canvas* canvas = Canvas::current;
    if (canvas == nullptr)
        return;
    constexpr double textLeft = 10.0;
    constexpr double textRoom = monitorPanelWidth - 2.0 * textLeft;
    char text[32];
    formatValue(text, sizeof text, current_);
    canvas->drawText(name_.c_str(), x + textLeft, y + 18.0, Color::white, 0, textRoom);
    canvas->drawText(text, x + textLeft, y + 40.0, Color::white, 0, textRoom);
}

template class MonitoredVariable<int>;
template class MonitoredVariable<double>;

} // namespace Stimulark
