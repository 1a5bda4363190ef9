// orx: builds self-decrypting archives and payloads, and opens them without
// the Windows decryptor.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "exit_codes.h"
#include "report.h"

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

const char kUsage[] =
    "usage:\n"
    "  orx archive --stub S --cleanup C --decryptor D --payload P -o OUT\n"
    "  orx pack FILE -o OUT [--key-bits 128|192|256] [password option]\n"
    "           [--archive --stub S --cleanup C --decryptor D]\n"
    "  orx unpack ARCHIVE-OR-PAYLOAD [-C DIR] [--force] [password option]\n"
    "  orx inspect ARCHIVE-OR-PAYLOAD\n"
    "password options: --password-file F (first line of F), --password-stdin\n"
    "  (first line of standard input); otherwise the terminal is asked.\n"
    "exit codes: 0 done, 1 failure, 2 usage, 3 wrong password, 4 digest mismatch,\n"
    "  5 malformed payload, 6 output exists\n";

std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> args;
#if defined(_WIN32)
  // The ANSI argv loses characters outside the code page; take the wide
  // command line and carry it as UTF-8 like on every other platform.
  (void)argc;
  (void)argv;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide && i < count; ++i) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, s.data(), n, nullptr, nullptr);
    args.push_back(s);
  }
  if (wide) LocalFree(wide);
#else
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
#endif
  return args;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = Arguments(argc, argv);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? orx::kExitUsage : orx::kExitOk;
  }
  std::string command = args[0];
  args.erase(args.begin());
  if (command == "archive") return orx::RunArchive(args);
  if (command == "pack") return orx::RunPack(args);
  if (command == "unpack") return orx::RunUnpack(args);
  if (command == "inspect") return orx::RunInspect(args);
  orx::Report("unknown command " + command);
  std::fputs(kUsage, stderr);
  return orx::kExitUsage;
}
