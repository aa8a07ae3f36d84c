#include "dfmod/cli.h"

namespace dfm::cli {

int Run(const Args&, Io& io) {
  return UsageError(io, "run: not available in this build yet");
}

}  // namespace dfm::cli
