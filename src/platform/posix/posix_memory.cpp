#include <sys/mman.h>

#include <cstdint>
#include <memory_resource>
#include <new>

#include "platform/host.h"

namespace dfm {
namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;
constexpr std::size_t kLargeRequest = std::size_t{1} << 20;

std::size_t WholeLargePages(std::size_t bytes) {
  return (bytes + kLargePage - 1) & ~(kLargePage - 1);
}

bool IsLarge(std::size_t bytes, std::size_t alignment) {
  return bytes >= kLargeRequest && alignment <= kLargePage;
}

// Large requests get a mapping of whole large pages, aligned to a large page, marked for
// transparent huge pages (which most kernels grant only when asked). A kernel without them
// refuses the advice and the mapping works with small pages as before.
class LargePageResource final : public std::pmr::memory_resource {
  void* do_allocate(std::size_t bytes, std::size_t alignment) override {
    if (!IsLarge(bytes, alignment)) return upstream()->allocate(bytes, alignment);
    const std::size_t size = WholeLargePages(bytes);
    void* mapped = mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kLargePage - 1) & ~std::uintptr_t{kLargePage - 1};
    // The slack before and after the aligned pages goes back at once.
    if (aligned != start) munmap(mapped, aligned - start);
    if (const std::size_t tail = kLargePage - (aligned - start); tail != 0)
      munmap(reinterpret_cast<void*>(aligned + size), tail);
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
  }

  void do_deallocate(void* p, std::size_t bytes, std::size_t alignment) override {
    if (!IsLarge(bytes, alignment)) return upstream()->deallocate(p, bytes, alignment);
    munmap(p, WholeLargePages(bytes));
  }

  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
    return this == &other;
  }

  static std::pmr::memory_resource* upstream() { return std::pmr::new_delete_resource(); }
};

}  // namespace

std::pmr::memory_resource* HostMemoryResource() {
  static LargePageResource resource;
  return &resource;
}

}  // namespace dfm
