// orx's help: the one source of `orx --help`, `orx COMMAND --help`, the
// manual page and the bash completion (install/help_pages.py builds both
// from the help the program prints).
//
// Printed form (what help_pages.py reads): a first line "usage: orx ...",
// then blocks separated by blank lines. A block is a paragraph at column 0,
// or a section: a line "label:" and its lines indented by two. The sections
// "commands", "options", "exit codes" and "json keys" are lists (a term,
// two or more blanks, its text; continued on lines indented further);
// "example" is commands to type; any other section is paragraphs.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace orx {

// The commands orx knows, in the order the help lists them.
std::vector<std::string> CommandNames();

// The help of the whole program (`orx --help`), or of one command.
void PrintOverview(std::FILE* to);
void PrintCommandHelp(std::FILE* to, const std::string& command);

// "orx <version> (commit <commit>)": the package's version and the commit
// it was built from.
void PrintVersion(std::FILE* to);

}  // namespace orx
