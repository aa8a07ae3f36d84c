#include "dfmod/cli.h"

namespace dfm::cli {

int Lint(const Args&, Io& io) {
  return UsageError(io, "lint: not available in this build yet");
}

}  // namespace dfm::cli
