#include "commands.h"
namespace orx {
int RunPack(const std::vector<std::string>&) { Report("pack: not built yet"); return 1; }
int RunUnpack(const std::vector<std::string>&) { Report("unpack: not built yet"); return 1; }
int RunInspect(const std::vector<std::string>&) { Report("inspect: not built yet"); return 1; }
}  // namespace orx
