#pragma once

#include <string>

#include "base/result.h"

namespace dfm {

class Process {
 public:
  virtual ~Process() = default;
  // Full path of the running program file, in the host's spelling.
  virtual Result<std::string> ExecutablePath() = 0;
};

}  // namespace dfm
