// alloc_count.h - the number of heap allocations made so far by the process.
#pragma once

extern volatile long long heapAllocations;
