#pragma once

#include <cstddef>

// Counts heap allocations (malloc, calloc, realloc and therefore operator new)
// made by the whole program while counting is on.
namespace alloccount {
void start();
// Stops counting and returns the number of allocations since start().
std::size_t stop();
} // namespace alloccount
