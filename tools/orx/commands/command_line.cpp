#include "command_line.h"

namespace orx {

bool ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& valued,
               const std::set<std::string>& bare, ParsedArgs& out, std::string& error) {
  bool operandsOnly = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (operandsOnly || a.size() < 2 || a[0] != '-') {
      out.operands.push_back(a);
      continue;
    }
    if (a == "--") {
      operandsOnly = true;
      continue;
    }
    std::string name = a;
    std::string value;
    bool inlineValue = false;
    if (auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inlineValue = true;
    }
    if (valued.count(name)) {
      if (!inlineValue) {
        if (i + 1 >= args.size()) {
          error = "option " + name + " needs a value";
          return false;
        }
        value = args[++i];
      }
      if (out.values.count(name)) {
        error = "option " + name + " given twice";
        return false;
      }
      out.values[name] = value;
    } else if (bare.count(name) && !inlineValue) {
      out.flags.insert(name);
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  return true;
}

}  // namespace orx
