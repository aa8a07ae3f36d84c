// Fuzzes the restore-point journal reader: any bytes decode to whole records, a torn
// tail, or a failure; never a crash. Whole records encode back to the bytes they came from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "restore/journal.h"
#include "restore/restore_points.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const dfm::Bytes bytes(data, data + size);
  auto journal = dfm::DecodeJournal(bytes);
  if (!journal) return 0;
  if (journal->valid_bytes > size) std::abort();
  dfm::Bytes again = journal->format.start ? dfm::FormatRecord() : dfm::Bytes{};
  for (const dfm::JournalRecord& r : journal->records) {
    const dfm::Bytes one = dfm::EncodeRecord(r, journal->format.check);
    again.insert(again.end(), one.begin(), one.end());
  }
  if (again !=
      dfm::Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(journal->valid_bytes)))
    std::abort();
  (void)dfm::ManifestText(dfm::DescribeJournal("id", journal->records));
  return 0;
}
