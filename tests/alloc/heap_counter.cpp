#include "tests/alloc/heap_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "host/stand_in_host.h"

// glibc's own allocator, which every replacement below hands on to, so that
// blocks from any entry point may be freed through any other.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void* __libc_valloc(std::size_t size);
void* __libc_pvalloc(std::size_t size);
void __libc_free(void* block);
}

namespace velk::test {
namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
std::atomic<long> releases{0};

bool Counted() {
  return counting.load(std::memory_order_relaxed) && !host::InHostWork();
}

void* Allocated(void* block) {
  if (block != nullptr && Counted()) {
    allocations.fetch_add(1, std::memory_order_relaxed);
  }
  return block;
}

void Release(void* block) {
  if (block != nullptr && Counted()) {
    releases.fetch_add(1, std::memory_order_relaxed);
  }
  __libc_free(block);
}

void* NewBlock(std::size_t size) {
  void* block = Allocated(__libc_malloc(size == 0 ? 1 : size));
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* NewAlignedBlock(std::size_t size, std::align_val_t alignment) {
  void* block = Allocated(__libc_memalign(static_cast<std::size_t>(alignment),
                                          size == 0 ? 1 : size));
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

HeapCounting::HeapCounting() {
  allocations = 0;
  releases = 0;
  counting = true;
}

HeapCounting::~HeapCounting() { counting = false; }

HeapCount HeapCounting::count() const {
  return {allocations.load(), releases.load()};
}

}  // namespace velk::test

using velk::test::Allocated;
using velk::test::NewAlignedBlock;
using velk::test::NewBlock;
using velk::test::Release;

// The C library's allocation functions. A realloc that moves or resizes a
// block counts as one allocation; realloc to size 0 frees.
extern "C" {

void* malloc(std::size_t size) noexcept {
  return Allocated(__libc_malloc(size));
}

void* calloc(std::size_t count, std::size_t size) noexcept {
  return Allocated(__libc_calloc(count, size));
}

void* realloc(void* block, std::size_t size) noexcept {
  if (block != nullptr && size == 0) {
    Release(block);
    return nullptr;
  }
  return Allocated(__libc_realloc(block, size));
}

void* reallocarray(void* block, std::size_t count, std::size_t size) noexcept {
  if (size != 0 && count > SIZE_MAX / size) {
    errno = ENOMEM;
    return nullptr;
  }
  return realloc(block, count * size);
}

void free(void* block) noexcept { Release(block); }

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
  return Allocated(__libc_memalign(alignment, size));
}

void* memalign(std::size_t alignment, std::size_t size) noexcept {
  return Allocated(__libc_memalign(alignment, size));
}

int posix_memalign(void** result, std::size_t alignment,
                   std::size_t size) noexcept {
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) {
    return EINVAL;
  }
  void* block = Allocated(__libc_memalign(alignment, size));
  if (block == nullptr) return ENOMEM;
  *result = block;
  return 0;
}

void* valloc(std::size_t size) noexcept {
  return Allocated(__libc_valloc(size));
}

void* pvalloc(std::size_t size) noexcept {
  return Allocated(__libc_pvalloc(size));
}

}  // extern "C"

// Every replaceable form of the global operator new and delete.
void* operator new(std::size_t size) { return NewBlock(size); }
void* operator new[](std::size_t size) { return NewBlock(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocated(__libc_malloc(size == 0 ? 1 : size));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocated(__libc_malloc(size == 0 ? 1 : size));
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return NewAlignedBlock(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return NewAlignedBlock(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment,
                   const std::nothrow_t&) noexcept {
  return Allocated(__libc_memalign(static_cast<std::size_t>(alignment),
                                   size == 0 ? 1 : size));
}
void* operator new[](std::size_t size, std::align_val_t alignment,
                     const std::nothrow_t&) noexcept {
  return Allocated(__libc_memalign(static_cast<std::size_t>(alignment),
                                   size == 0 ? 1 : size));
}

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept {
  Release(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  Release(block);
}
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept {
  Release(block);
}
void operator delete(void* block, std::align_val_t,
                     const std::nothrow_t&) noexcept {
  Release(block);
}
void operator delete[](void* block, std::align_val_t,
                       const std::nothrow_t&) noexcept {
  Release(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  Release(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  Release(block);
}
