// What the user asked talvor for: a command, its options and its files.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace talvor {

struct Invocation {
  std::string command;
  std::map<std::string, std::string> options;  // "--method" -> "trap"; flags -> ""
  std::vector<std::string> operands;
};

extern const char kUsage[];
extern const char kHelp[];

// Reads the arguments after the program's name; wrong usage raises a
// Failure of kind kUsage.
[[nodiscard]] Invocation Parse(const std::vector<std::string>& args);

// Every path the user gave, taken against the folder the user is in,
// before any command enters another folder.
[[nodiscard]] Invocation ResolvePaths(Invocation inv, const std::string& current);

}  // namespace talvor
