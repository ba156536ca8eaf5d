// Allocations made to fail where the real program meets memory running out:
// in its own code, never inside a test double. A test program that links
// replaced_new.cpp asks AllocationFails() at every global operator new.
#pragma once

#include <cstddef>
#include <cstdint>

namespace chromatte {
namespace test {

// While it lives, the program's allocations are counted from 1, and the one
// numbered `number`, or else the first of exactly `size` bytes, throws
// std::bad_alloc. One at a time.
class FailingAllocation {
 public:
  static FailingAllocation Number(std::uint64_t number) { return FailingAllocation(number, 0); }
  static FailingAllocation OfSize(std::size_t size) { return FailingAllocation(0, size); }
  ~FailingAllocation();
  FailingAllocation(const FailingAllocation&) = delete;
  FailingAllocation& operator=(const FailingAllocation&) = delete;

  std::uint64_t counted() const;
  bool failed() const;
  // The size of the last allocation counted: what the standard library
  // asks for a given string, which differs between libraries.
  std::size_t last_size() const;

 private:
  FailingAllocation(std::uint64_t number, std::size_t size);
};

// While it lives, allocations are neither counted nor failed: a test
// double's own work, which the real API does without the program's heap.
class UncountedAllocations {
 public:
  UncountedAllocations();
  ~UncountedAllocations();
  UncountedAllocations(const UncountedAllocations&) = delete;
  UncountedAllocations& operator=(const UncountedAllocations&) = delete;
};

// Counts one allocation of `size` bytes; true when it is the one to fail.
bool AllocationFails(std::size_t size);

}  // namespace test
}  // namespace chromatte
