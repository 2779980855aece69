// qvcli's commands: each is a function over the arguments after its name.
#pragma once

#include <string>
#include <vector>

namespace qvcli {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;
  const char* summary;
  int (*run)(const Args& args);
  bool needsInstallation;
};

const std::vector<Command>& commands();

// The program's own arguments as it was started (argv[0] first).
const std::vector<std::string>& programArguments();

// Reports an error on stderr; returns the exit status for failures (1).
int fail(const std::string& message);
// Option parsing helpers: "--name value" pairs and flags.
bool takeOption(Args& args, const std::string& name, std::string& value);
bool takeFlag(Args& args, const std::string& name);
std::vector<std::string> takeRepeated(Args& args, const std::string& name);

int cmdInit(const Args& args);
int cmdInfo(const Args& args);
int cmdForum(const Args& args);
int cmdMailbox(const Args& args);
int cmdList(const Args& args);
int cmdImport(const Args& args);
int cmdFormats(const Args& args);
int cmdShow(const Args& args);
int cmdIndex(const Args& args);
int cmdSearch(const Args& args);
int cmdExport(const Args& args);
int cmdPrint(const Args& args);

}  // namespace qvcli
