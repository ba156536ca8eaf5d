#include "allocation_failures.h"

namespace chromatte {
namespace test {
namespace {

// Plain data, zero before any constructor runs: operator new may be called
// during static initialisation.
struct State {
  bool armed;
  std::uint64_t fail_number;
  std::size_t fail_size;
  std::uint64_t counted;
  std::size_t last_size;
  bool failed;
  int uncounted_depth;
} state;

}  // namespace

FailingAllocation::FailingAllocation(std::uint64_t number, std::size_t size) {
  state.fail_number = number;
  state.fail_size = size;
  state.counted = 0;
  state.failed = false;
  state.armed = true;
}

FailingAllocation::~FailingAllocation() { state.armed = false; }

std::uint64_t FailingAllocation::counted() const { return state.counted; }

bool FailingAllocation::failed() const { return state.failed; }

std::size_t FailingAllocation::last_size() const { return state.last_size; }

UncountedAllocations::UncountedAllocations() { ++state.uncounted_depth; }

UncountedAllocations::~UncountedAllocations() { --state.uncounted_depth; }

bool AllocationFails(std::size_t size) {
  if (!state.armed || state.uncounted_depth > 0 || state.failed) return false;
  ++state.counted;
  state.last_size = size;
  state.failed = state.counted == state.fail_number || (state.fail_size != 0 && size == state.fail_size);
  return state.failed;
}

}  // namespace test
}  // namespace chromatte
