// A small parser for "orx COMMAND [options] [operands]": options are
// "--name value", "--name=value" or bare flags; "-o" and "-C" take a value.
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
// starting with '-' is an error. False with `error` set.
bool ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& valued,
               const std::set<std::string>& bare, ParsedArgs& out, std::string& error);

}  // namespace orx
