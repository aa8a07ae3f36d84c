#include "dfmod/cli.h"

namespace dfm::cli {

int Inspect(const Args&, Io& io) {
  return UsageError(io, "inspect: not available in this build yet");
}

}  // namespace dfm::cli
