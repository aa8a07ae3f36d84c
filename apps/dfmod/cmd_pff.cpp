#include "dfmod/cli.h"

namespace dfm::cli {

int Pff(const Args&, Io& io) {
  return UsageError(io, "pff: not available in this build yet");
}

}  // namespace dfm::cli
