// dfmod image: the installer's own image conversions on files of this machine.
#include <ostream>

#include "dfmod/cli.h"
#include "dfmod/cli_dialogs.h"
#include "image/detail_map.h"
#include "image/tga.h"
#include "platform/host.h"

namespace dfm::cli {
namespace {

constexpr char kUsage[] = "image: expected jpg2tga IN.jpg OUT.tga or detailmap IN.tga OUT.pcx";

int Report(Io& io, const Status& status) {
  if (status) return kExitOk;
  io.err << "dfmod: " << status.failure().description << " (error " << status.failure().code
         << ")\n";
  return kExitFindings;
}

}  // namespace

int Image(const Args& args, Io& io) {
  if (!args.empty() && args[0] != "jpg2tga" && args[0] != "detailmap")
    return UsageError(io, "image: unknown operation '" + args[0] + "'");
  if (args.size() != 3) return UsageError(io, kUsage);
  auto fs = MakeHostFileSystem();
  // Like the install script, which checks that the source exists before converting.
  if (auto length = fs->FileLength(args[1]); !length)
    return UsageError(io, "image: " + length.failure().description);
  if (args[0] == "jpg2tga") {
    CliDialogs dialogs(io.err, "dfmod");
    return Report(io, ConvertJpgToTga(*fs, dialogs, args[1], args[2]));
  }
  return Report(io, CreateDetailMap(*fs, args[1], args[2]));
}

}  // namespace dfm::cli
