#include "allocationcounter.h"

#include <atomic>

// glibc's own entry points: the definitions below interpose on malloc & co.
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);

namespace {
std::atomic<bool> counting{false};
std::atomic<std::size_t> count{0};

inline void note()
{
    if (counting.load(std::memory_order_relaxed))
        count.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" void* malloc(std::size_t size)
{
    note();
    return __libc_malloc(size);
}

extern "C" void* calloc(std::size_t n, std::size_t size)
{
    note();
    return __libc_calloc(n, size);
}

extern "C" void* realloc(void* p, std::size_t size)
{
    note();
    return __libc_realloc(p, size);
}

namespace alloccount {
void start()
{
    count = 0;
    counting = true;
}
std::size_t stop()
{
    counting = false;
    return count;
}
} // namespace alloccount
