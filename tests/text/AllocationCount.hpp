#pragma once

// The test program's operator new counts every allocation, so that a test can show that a loop makes none.

namespace Stimulark::Testing {

long allocationCount();

} // namespace Stimulark::Testing
