// The global operator new and delete of the test programs that make the
// program's allocations fail (allocation_failures.h).
#include <cstdlib>
#include <new>

#include "allocation_failures.h"

void* operator new(std::size_t size) {
  if (chromatte::test::AllocationFails(size)) throw std::bad_alloc();
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return operator new(size); }

void operator delete(void* block) noexcept { std::free(block); }

void operator delete[](void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }

void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
