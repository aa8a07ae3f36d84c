// The detail codes of a row of pixels, with the widest vector instructions the processor
// has: all give the codes of NearestPaletteIndex against kDetailPalette.
#pragma once

#include <cstddef>
#include <vector>

namespace dfm {

enum class ClassifyPath { kScalar, kSse2, kAvx2 };

// The paths this build and this processor can run, the fastest last.
std::vector<ClassifyPath> ClassifyPaths();

// The code of each of the `n` pixels at `bgr` (blue, green, red bytes) into `out`.
// Contract: `path` is one of ClassifyPaths().
void ClassifyRow(const unsigned char* bgr, std::size_t n, unsigned char* out, ClassifyPath path);
// With the fastest path.
void ClassifyRow(const unsigned char* bgr, std::size_t n, unsigned char* out);

}  // namespace dfm
