#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/host.h"

namespace dfm {
namespace {

class PosixProcess final : public Process {
 public:
  Result<std::string> ExecutablePath() override {
    std::string buf(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n < 0) return Failure{err::kPathFileAccessError, std::strerror(errno)};
    buf.resize(static_cast<std::size_t>(n));
    return buf;
  }
};

}  // namespace

std::unique_ptr<Process> MakeHostProcess() {
  return std::make_unique<PosixProcess>();
}

}  // namespace dfm
