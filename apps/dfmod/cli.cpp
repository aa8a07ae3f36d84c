#include "dfmod/cli.h"

#include <cstdio>
#include <ostream>

namespace dfm::cli {
namespace {

struct Command {
  const char* name;
  int (*run)(const Args&, Io&);
  const char* usage;
};

constexpr Command kCommands[] = {
    {"lint", Lint, "lint CONTROL.INI [--tokens]"},
    {"pff", Pff,
     "pff (list ARCHIVE [--json] | add ARCHIVE FILE... | extract ARCHIVE -o DIR [NAME...])"},
    {"image", Image, "image (jpg2tga IN.jpg OUT.tga | detailmap IN.tga OUT.pcx)"},
    {"build", Build,
     "build (--mod DIR | --zip MAIN.ZIP) [--stub FILE] [--libs-from INSTALLER] -o OUT"},
    {"inspect", Inspect, "inspect INSTALLER"},
    {"run", Run,
     "run INSTALLER [--game-folder V=DIR]... [--critical continue|abort] [--password PW] "
     "[--restore-dir DIR] [--no-restore-point]"},
    {"plan", Plan,
     "plan INSTALLER [--game-folder V=DIR]... [--critical continue|abort] [--password PW] "
     "[--restore-dir DIR] [--json]"},
    {"restore", Restore, "restore (--list [GAME-FOLDER] | [ID] [--force]) [--restore-dir DIR]"},
};

void PrintUsage(std::ostream& os) {
  os << "usage:\n";
  for (const auto& c : kCommands) os << "  dfmod " << c.usage << "\n";
}

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not valid UTF-8.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  std::size_t n = 0;
  unsigned cp = 0;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
      (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
    return 0;
  return n;
}

}  // namespace

int UsageError(Io& io, std::string_view message) {
  io.err << "dfmod: " << message << "\n";
  return kExitUsage;
}

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  char buf[8];
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = Utf8Length(s, i);
    if (n > 1) {
      out.append(s.substr(i, n));
      i += n;
      continue;
    }
    ++i;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

int Main(const Args& args, Io& io) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(args.empty() ? io.err : io.out);
    return args.empty() ? kExitUsage : kExitOk;
  }
  for (const auto& c : kCommands) {
    if (args[0] == c.name) return c.run(Args(args.begin() + 1, args.end()), io);
  }
  UsageError(io, "unknown subcommand '" + args[0] + "'");
  PrintUsage(io.err);
  return kExitUsage;
}

}  // namespace dfm::cli
