// Fuzzes the control-file reader: line splitting, SplitLine, number words and the lint
// over them. Checks the invariants the readers rely on, not just the absence of crashes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "script/control_file.h"
#include "script/lint.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckWords(std::string_view line, const std::vector<std::string>& words) {
  Check(!words.empty());
  std::size_t kept = 0;
  for (const std::string& w : words) {
    Check(w.find('"') == std::string::npos);
    kept += w.size();
  }
  Check(kept <= line.size());
  for (const std::string& w : words) {
    double v = dfm::NumberValue(w);
    Check(!std::isnan(v));
    double r = dfm::RoundHalfEven(v);
    Check(std::isinf(v) ? r == v : std::fabs(r - v) <= 0.5);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines = dfm::SplitLines(bytes);
  std::size_t total = 0;
  for (const std::string& line : lines) {
    Check(line.find('\r') == std::string::npos);
    total += line.size();
    auto words = dfm::SplitLine(line);
    Check(words.ok() == (line.size() <= dfm::kMaxLineLength));
    if (words) CheckWords(line, *words);
  }
  Check(total <= size);
  Check(bytes.empty() == lines.empty());

  // The whole input as one word too: number words may hold any bytes.
  double v = dfm::NumberValue(bytes);
  Check(!std::isnan(v));

  for (const dfm::LintFinding& f : dfm::LintControlLines(lines)) {
    Check(f.line <= lines.size());
    Check(f.message.find('\n') == std::string::npos);
  }
  return 0;
}
