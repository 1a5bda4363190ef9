#include "command_line.h"

#include <algorithm>

#include "exit_codes.h"
#include "report.h"

namespace orx {

namespace {

// Levenshtein distance, with a swap of two neighbours counting as one edit.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                          d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

std::string UnknownOption(const std::string& option, const std::set<std::string>& valued,
                          const std::set<std::string>& bare) {
  std::vector<std::string> known(valued.begin(), valued.end());
  known.insert(known.end(), bare.begin(), bare.end());
  known.push_back("--help");
  std::string nearest = NearestWord(option, known);
  return "unknown option " + option + (nearest.empty() ? "" : "; did you mean " + nearest + "?");
}

}  // namespace

std::string NearestWord(const std::string& word, const std::vector<std::string>& known) {
  std::string best;
  size_t bestDistance = 3;  // at most two edits
  for (const std::string& candidate : known) {
    size_t distance = EditDistance(word, candidate);
    if (distance < bestDistance && 2 * distance < word.size()) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

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
    // "--name=value" carries its value.
    const auto eq = a.rfind("--", 0) == 0 ? a.find('=') : std::string::npos;
    const bool inlineValue = eq != std::string::npos;
    const std::string name = a.substr(0, eq);
    const std::string value = inlineValue ? a.substr(eq + 1) : std::string();
    if (valued.count(name)) {
      if (!inlineValue && i + 1 >= args.size()) {
        error = "option " + name + " needs a value";
        return false;
      }
      if (out.values.count(name)) {
        error = "option " + name + " given twice";
        return false;
      }
      out.values[name] = inlineValue ? value : args[++i];
    } else if (bare.count(name) && !inlineValue) {
      out.flags.insert(name);
    } else {
      error = bare.count(name) ? "option " + name + " takes no value"
                               : UnknownOption(name, valued, bare);
      return false;
    }
  }
  return true;
}

int UsageError(const std::string& command, const std::string& message) {
  Report(command + ": " + message + " (orx " + command + " --help shows its options)");
  return kExitUsage;
}

}  // namespace orx
