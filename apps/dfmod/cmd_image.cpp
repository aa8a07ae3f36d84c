#include "dfmod/cli.h"

namespace dfm::cli {

int Image(const Args&, Io& io) {
  return UsageError(io, "image: not available in this build yet");
}

}  // namespace dfm::cli
