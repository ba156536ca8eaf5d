// The global operator new and delete of the test programs that make the
// program's allocations fail (allocation_failures.h). Every form that can
// free what these allocate, or allocate what these free, is replaced: a
// library that allocates with one form frees with another (GoogleTest 1.16
// allocates with nothrow new and frees with sized delete). The
// std::align_val_t forms pair only with each other, and stay the library's.
#include <cstdlib>
#include <new>

#include "allocation_failures.h"

void* operator new(std::size_t size) {
  if (chromatte::test::AllocationFails(size)) throw std::bad_alloc();
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return operator new(size); }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return operator new(size, std::nothrow);
}

void operator delete(void* block) noexcept { std::free(block); }

void operator delete[](void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }

void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }

void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
