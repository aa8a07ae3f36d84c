// How dfmod shows an installer's payload.
#pragma once

#include <iosfwd>

#include "shell/payload.h"

namespace dfm::cli {

// One line per piece: name, offset and length in decimal and hexadecimal.
void PrintPayloadLayout(std::ostream& os, const PayloadLayout& layout);

}  // namespace dfm::cli
