// orx archive --stub S --cleanup C --decryptor D --payload P -o OUT
#include "archive_builder.h"
#include "command_line.h"
#include "commands.h"
#include "exit_codes.h"
#include "path_arg.h"
#include "report.h"

namespace orx {

int RunArchive(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, {"--stub", "--cleanup", "--decryptor", "--payload", "-o"}, {}, parsed,
                 error)) {
    Report(error);
    return kExitUsage;
  }
  for (const char* required : {"--stub", "--cleanup", "--decryptor", "--payload", "-o"}) {
    if (!parsed.Has(required)) {
      Report(std::string("archive: ") + required + " is required");
      return kExitUsage;
    }
  }
  if (!parsed.operands.empty()) {
    Report("archive: unexpected operand " + parsed.operands[0]);
    return kExitUsage;
  }
  ArchiveParts parts{PathArg(parsed.Value("--stub")), PathArg(parsed.Value("--cleanup")),
                     PathArg(parsed.Value("--decryptor"))};
  std::string head;
  if (!LoadArchiveParts(parts, head, error) ||
      !WriteArchive(head, CopyPayloadFile(PathArg(parsed.Value("--payload"))),
                    PathArg(parsed.Value("-o")), error)) {
    Report("archive: " + error + "; nothing written");
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace orx
