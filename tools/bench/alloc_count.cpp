// alloc_count.cpp - counts every heap allocation of the process by standing in
// for malloc and friends (operator new ends in malloc too).

#include "alloc_count.h"

#include <cstddef>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void *__libc_memalign(size_t alignment, size_t size);

void *malloc(size_t size)
{
    ++heapAllocations;
    return __libc_malloc(size);
}
void *calloc(size_t count, size_t size)
{
    ++heapAllocations;
    return __libc_calloc(count, size);
}
void *realloc(void *block, size_t size)
{
    ++heapAllocations;
    return __libc_realloc(block, size);
}
void *memalign(size_t alignment, size_t size)
{
    ++heapAllocations;
    return __libc_memalign(alignment, size);
}
}

volatile long long heapAllocations = 0;
