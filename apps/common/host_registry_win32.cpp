#include "common/host_registry.h"

#include "platform/win32/win32_registry.h"

namespace dfm::cli {

std::unique_ptr<Registry> HostRegistry() {
  return win32::MakeRegistry();
}

std::unique_ptr<UninstallList> HostUninstallList() {
  return win32::MakeUninstallList();
}

}  // namespace dfm::cli
