#include "dfmod/payload_report.h"

#include <cstdio>
#include <ostream>

namespace dfm::cli {
namespace {

void Line(std::ostream& os, const char* name, std::uint64_t offset, std::uint64_t length) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%-12s offset %10llu (0x%08llX)  length %10llu (0x%llX)\n", name,
                static_cast<unsigned long long>(offset), static_cast<unsigned long long>(offset),
                static_cast<unsigned long long>(length), static_cast<unsigned long long>(length));
  os << buf;
}

}  // namespace

void PrintPayloadLayout(std::ostream& os, const PayloadLayout& l) {
  Line(os, "stub", 0, l.jpeg_library_offset);
  Line(os, "ijl15.dll", l.jpeg_library_offset, kJpegLibrarySize);
  Line(os, "Unzip32.dll", l.zip_library_offset, kZipLibrarySize);
  Line(os, "Main.zip", l.main_zip_offset, l.main_zip_length);
  Line(os, "trailer", l.trailer_offset, kTrailerSize);
}

}  // namespace dfm::cli
