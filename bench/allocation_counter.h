// Counts the heap allocations a benchmark makes while counting is on. Linking
// allocation_counter.cpp into a program replaces malloc and friends and
// operator new and delete for the whole program.
#pragma once

// Clears the count and counts every allocation from now on.
void StartCountingAllocations();
// Stops counting; the count stays as it is.
void StopCountingAllocations();
// Allocations counted between the last start and stop.
long CountedAllocations();
