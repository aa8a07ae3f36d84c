#include <memory_resource>

#include "platform/host.h"

namespace dfm {

// Large pages on Windows need a privilege players do not hold: the heap serves all.
std::pmr::memory_resource* HostMemoryResource() {
  return std::pmr::new_delete_resource();
}

}  // namespace dfm
