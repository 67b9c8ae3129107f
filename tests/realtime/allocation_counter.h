#pragma once
#include <cstdint>

// Counts calls of any global operator new between start and stop, on any thread. Allocations
// made inside SoundTouch (its sample queues growing, and the anti-alias filter it redesigns on
// every change of pitch) are counted apart from all others.
struct AllocationCount {
    uint64_t insideSoundTouch = 0;
    uint64_t other = 0;
};

void StartCountingAllocations();
AllocationCount StopCountingAllocations();
