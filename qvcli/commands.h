// qvcli's commands: each is a function over the arguments after its name.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qvcli {

using Args = std::vector<std::string>;

// What a command needs of the installation. Reading commands make, lock and
// write nothing, so they work beside the program and on read-only media;
// "search" keeps its result for export and print when the installation is
// free and writable, and only reads otherwise.
enum class Needs { Nothing, Reading, Writing, ReadingKeepsResult };

struct Command {
  const char* name;
  const char* usage;
  const char* summary;
  int (*run)(const Args& args);
  Needs needs;
};

const std::vector<Command>& commands();

// The program's own arguments as it was started (argv[0] first).
const std::vector<std::string>& programArguments();

// Opens the installation that --root (or $QUORVANE_ROOT, else the current
// directory) names as `needs` asks (for commands that open it themselves).
// Returns 0 when it is open; else the failure was reported and the exit
// status is returned: `busyStatus` when another program holds the
// installation, 1 otherwise. With `wait` it waits for that program to let
// the installation go instead.
int openInstallationFor(Needs needs, bool wait = false, int busyStatus = 1);
// The exit status of a scheduled task refused because another program
// holds the installation.
inline constexpr int kExitBusy = 4;

// Reports an error on stderr; returns the exit status for failures (1).
int fail(const std::string& message);
// "forum", "mail" or "newsgroup" for a database kind (qv::DbKind), "?" for another number.
const char* kindName(int kind);
// printf to standard output or error for whatever holds stored text (names,
// subjects, message texts, file names): its control characters are shown
// escaped instead of being acted upon by the terminal.
void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void sayError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes text as it is but for the escaping of its control characters.
void sayText(const std::string& text);
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
int cmdCheck(const Args& args);
int cmdOriginals(const Args& args);
int cmdIndex(const Args& args);
int cmdWords(const Args& args);
int cmdStopList(const Args& args);
int cmdSearch(const Args& args);
int cmdExport(const Args& args);
int cmdPrint(const Args& args);
int cmdAttachments(const Args& args);
int cmdTopic(const Args& args);
int cmdClassify(const Args& args);
// "group" is said as the export, print or classify command it stands for:
// turns its arguments into that command's and names it; false (reported)
// when they are wrong.
bool groupCommand(Args& args, std::string& name);
int cmdStatus(const Args& args);
int cmdPurge(const Args& args);
int cmdCount(const Args& args);
int cmdPersons(const Args& args);
int cmdRebuild(const Args& args);
int cmdMerge(const Args& args);
int cmdDedup(const Args& args);
int cmdAddresses(const Args& args);
int cmdDbf(const Args& args);
// The editing sub-commands of "definition" and "task": add, edit and delete
// (args[0] is the sub-command).
int cmdDefinitionEdit(const Args& args);
int cmdTaskEdit(const Args& args);
// "definition" and "task" with every sub-command; they open the
// installation themselves (task run and due can wait for it).
int cmdDefinition(const Args& args);
int cmdTask(const Args& args);

}  // namespace qvcli
