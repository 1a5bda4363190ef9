// A small parser for "orx COMMAND [options] [operands]": options are
// "--name value", "--name=value" or bare flags; "-o" and "-C" take a value.
// "-" alone is an operand: standard input or output.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace orx {

struct ParsedArgs {
  std::map<std::string, std::string> values;
  std::set<std::string> flags;
  std::vector<std::string> operands;

  bool Has(const std::string& name) const { return values.count(name) != 0; }
  std::string Value(const std::string& name) const {
    auto it = values.find(name);
    return it == values.end() ? std::string() : it->second;
  }
  bool Flag(const std::string& name) const { return flags.count(name) != 0; }
};

// Options in `valued` take a value, those in `bare` do not; anything else
// starting with '-' is an error, whose message offers the nearest of the
// command's own options ("did you mean --force?"). False with `error` set.
bool ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& valued,
               const std::set<std::string>& bare, ParsedArgs& out, std::string& error);

// The word of `known` nearest to `word`, when it is near enough to be what
// was meant (a typing slip: at most two edits, and fewer than half the
// word); empty when none is.
std::string NearestWord(const std::string& word, const std::vector<std::string>& known);

// Reports "<command>: <message>" and the way to the command's help; returns
// kExitUsage. The one way every command answers a bad command line.
int UsageError(const std::string& command, const std::string& message);

}  // namespace orx
