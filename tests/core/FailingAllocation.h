#pragma once

// The program's operator new, replaced for the core's tests: while armed, the
// allocation numbered `failAt` (counted from 0) throws std::bad_alloc, as
// when memory runs out there.

namespace failing_allocation {

void Arm(long failAt);
// Stops failing; true when the chosen allocation was reached.
bool Disarm();

}  // namespace failing_allocation
