// malloc and friends are replaced by versions that forward to glibc's own
// entry points and count calls while counting is on; operator new and delete
// go through them too.
#include "allocation_counter.h"

#include <cstddef>
#include <new>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
volatile bool counting = false;
volatile long allocations = 0;

void Count()
{
    if (counting)
        allocations = allocations + 1;
}
}  // namespace

void StartCountingAllocations()
{
    allocations = 0;
    counting = true;
}

void StopCountingAllocations()
{
    counting = false;
}

long CountedAllocations()
{
    return allocations;
}

extern "C" {
void* malloc(size_t n)
{
    Count();
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t size)
{
    Count();
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n)
{
    Count();
    return __libc_realloc(p, n);
}
void* memalign(size_t alignment, size_t n)
{
    Count();
    return __libc_memalign(alignment, n);
}
void* aligned_alloc(size_t alignment, size_t n)
{
    Count();
    return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, size_t alignment, size_t n)
{
    Count();
    void* p = __libc_memalign(alignment, n);
    if (!p)
        return 12;  // ENOMEM
    *out = p;
    return 0;
}
void free(void* p)
{
    __libc_free(p);
}
}

void* operator new(size_t n)
{
    if (void* p = malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n)
{
    return operator new(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept
{
    return malloc(n ? n : 1);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept
{
    return malloc(n ? n : 1);
}
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
