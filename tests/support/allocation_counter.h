// Counting heap allocations, for the tests that check a path allocates
// nothing. Linking support/allocation_counter.cpp replaces the program's
// global operator new and delete, so such a test is a program of its own
// (orvex_allocation_test in tests/CMakeLists.txt); they count only between
// a start and a stop.
#pragma once

namespace orvex::test {

// Starts counting from zero.
void StartCountingAllocations();
// Stops counting and answers the allocations made since the start.
long StopCountingAllocations();
// True when the counter sees an allocation made on purpose: the replacement
// is in place, so a count of zero means something.
bool AllocationCounterWorks();

}  // namespace orvex::test
