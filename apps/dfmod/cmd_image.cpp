// dfmod image: the installer's own image conversions on files of this machine.
#include <ostream>

#include "dfmod/cli.h"
#include "common/cli_dialogs.h"
#include "image/detail_map.h"
#include "image/tga.h"
#include "platform/host.h"

namespace dfm::cli {
namespace {

int Report(Io& io, const std::string& command, const Status& status) {
  if (status) return kExitOk;
  io.err << "dfmod: " << command << ": " << status.failure().description << " (error "
         << status.failure().code << ")\n";
  return kExitFindings;
}

}  // namespace

int Image(const Args& args, Io& io) {
  if (args.empty() || (args[0] != "jpg2tga" && args[0] != "detailmap")) {
    return UsageError(io, "image",
                      args.empty()
                          ? "expected an operation: jpg2tga or detailmap"
                          : "unknown operation '" + args[0] + "': expected jpg2tga or detailmap");
  }
  const bool jpg = args[0] == "jpg2tga";
  const std::string command = "image " + args[0];
  if (args.size() != 3)
    return UsageError(io, command, jpg ? "expected IN.jpg OUT.tga" : "expected IN.tga OUT.pcx");
  // Like the install script, which checks that the source exists before converting.
  if (std::string problem = InputFileProblem(args[1]); !problem.empty())
    return InputError(io, command, args[1], problem);
  auto fs = MakeHostFileSystem();
  if (jpg) {
    CliDialogs dialogs(io.err, "dfmod");
    return Report(io, command, ConvertJpgToTga(*fs, dialogs, args[1], args[2]));
  }
  return Report(io, command, CreateDetailMap(*fs, args[1], args[2]));
}

}  // namespace dfm::cli
