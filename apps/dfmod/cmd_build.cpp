#include "dfmod/cli.h"

namespace dfm::cli {

int Build(const Args&, Io& io) {
  return UsageError(io, "build: not available in this build yet");
}

}  // namespace dfm::cli
