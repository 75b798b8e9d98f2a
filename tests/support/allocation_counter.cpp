#include "support/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

// The replacements below pair malloc with free by design; GCC, seeing its
// delete inlined next to a new, takes them for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* Allocate(std::size_t size) {
  if (counting) ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace orvex::test {

void StartCountingAllocations() {
  allocations = 0;
  counting = true;
}

long StopCountingAllocations() {
  counting = false;
  return allocations;
}

bool AllocationCounterWorks() {
  StartCountingAllocations();
  {
    std::string probe(100, 'x');
    volatile char c = probe[50];
    (void)c;
  }
  return StopCountingAllocations() > 0;
}

}  // namespace orvex::test
