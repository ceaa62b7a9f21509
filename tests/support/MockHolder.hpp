#pragma once

#include "stimulark/canvas/VariableMonitor.hpp"

#include <gmock/gmock.h>

namespace Stimulark::Testing {

class MockHolder : public VariableMonitor_Holder {
public:
    MOCK_METHOD(const char*, name, (), (const, override));
    MOCK_METHOD(void, draw, (double x, double y, bool selected, int flags), (override));
    MOCK_METHOD(double, value, (), (const, override));
    MOCK_METHOD(void, setValue, (double value), (override));
    MOCK_METHOD(double, step, (), (const, override));
    MOCK_METHOD(double, largeStep, (), (const, override));
    MOCK_METHOD(void, decrement, (bool shift), (override));
    MOCK_METHOD(void, increment, (bool shift), (override));
};

// Three holders listed while it lives; afterwards the list is empty and the first entry selected.
template <template <class> class Mock>
struct ListedHolders {
    Mock<MockHolder> a, b, c;
    ListedHolders() { variableMonitors = {&a, &b, &c}; }
    ~ListedHolders() {
        variableMonitors.clear();
        selectedMonitor = 0;
    }
};

} // namespace Stimulark::Testing
