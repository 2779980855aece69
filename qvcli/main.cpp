// qvcli: the command-line front end of Quorvane.
#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "commands.h"
#include "services/fox_driver_host.h"
#include "services/installation.h"
#include "services/prompt.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/startup.h"
#include "services/terminal_text.h"
#include "terminal_prompt.h"

namespace qvcli {

const std::vector<Command>& commands() {
  static const std::vector<Command> list = {
      {"init", "init", "create the installation (configuration area, control file and settings)", cmdInit, Needs::Writing},
      {"info", "info", "show the directories, settings, next ID and databases of the installation", cmdInfo, Needs::Reading},
      {"forum", "forum add NAME", "create a forum database", cmdForum, Needs::Writing},
      {"mailbox", "mailbox add --owner NAME --address ADDR [--alt ADDR]...", "create a mailbox", cmdMailbox, Needs::Writing},
      {"list", "list", "list the databases with kind, directory and message count", cmdList, Needs::Reading},
      {"dbf", "dbf FILE [--fields] [--tags] [--records [--deleted] [--tag NAME]] [--check]",
       "show a dBASE/FoxPro table as the import reads it: its header and fields (type, length, decimals), the "
       "tags of its compound index (--tags: key and filter expressions, key counts), its records with their memo "
       "texts (--deleted: deleted ones too, marked; --tag NAME: in that tag's order), or --check: the header, the "
       "record count against the file size, the memo pointers and every tag against the records, each fault "
       "found; exits 1 when there is any",
       cmdDbf, Needs::Nothing},
      {"formats", "formats", "list the source formats that an import can read", cmdFormats, Needs::Nothing},
      {"import",
       "import --format NAME [--mailbox NAME] [--forum NAME] [--kinds mail,forum,news] [--method tree|dir|files] "
       "[--masks \"*.MSG;*.OLD\"] [--reimport] [--filter all|create-only] [--topic ID] [--commit-every N] [--index] [--unattended] PATH...",
       "import messages (at most N to a commit with --commit-every); with --index their words go to the word index in the "
       "same pass, as for a database that indexes automatically; prints the run's counters and status", cmdImport, Needs::Writing},
      {"show", "show DB [--thread|--sender|--date] [MSGID]", "list the messages of a database, or show one with its text",
       cmdShow, Needs::Reading},
      {"check", "check DB",
       "check that every mail or article of a database has its original and every original its message; "
       "exits 1 when anything is wrong",
       cmdCheck, Needs::Reading},
      {"originals", "originals DB [on|off]",
       "tell whether a mail or newsgroup database keeps the originals of imported messages, or switch it",
       cmdOriginals, Needs::Writing},
      {"index", "index DB [--full|--partial|--recount] [--auto on|off] [--unattended]",
       "build (--full) or extend (--partial, the default) the word index of a database, progress on stderr and the "
       "result at the end; --recount only tells which run is needed; --auto switches the automatic indexing by "
       "scheduled tasks; --unattended asks nothing and, without --full or --partial, runs the recommended run or none",
       cmdIndex, Needs::Writing},
      {"words", "words DB [--by count] [--mark WORD|--unmark WORD]",
       "list the indexed words of a database with their message counts (alphabetically or by count; * marks a word "
       "marked for removal), or mark or unmark a word: the next indexing run moves marked words to the stop list",
       cmdWords, Needs::Writing},
      {"stoplist", "stoplist list | add WORD | change WORD NEWWORD | delete WORD",
       "list, add, change or delete the non index words (the stop list of the installation)", cmdStopList,
       Needs::Writing},
      {"search",
       "search DB [--and W]... [--or W]... [--not W]... [--phrase \"...\"] [--soundex W] [--approx K W] "
       "[--wildcard PAT] [--limit N] [--ids]",
       "find messages by the words they contain; prints number, date and subject, newest first (--ids: the "
       "message numbers only, one a line, for scripts); --limit N finds the newest N and stops there", cmdSearch,
       Needs::ReadingKeepsResult},
      {"export",
       "export DB --scope thread|sender|recipient|section|date|all|word|topic|search|message [--id N] [--word W] "
       "[--topic ID|TEXT] [--layout N] [--file NAME] [--outbox NAME] [--append] [--clipboard] [--min-id N] "
       "[--max-id N] [--since YYYY-MM-DD] [--until YYYY-MM-DD] [--original [--eml DIR]]",
       "write messages to export files in the temporary directory (or one message, framed, to standard output "
       "with --clipboard; with --original the messages as they were imported, to a mailbox file or with --eml "
       "one .eml file each into DIR); prints the files written. --scope all takes every message of the database; "
       "--scope date with --since/--until only the dated messages in that range (those without a date are "
       "counted apart)",
       cmdExport, Needs::Writing},
      {"topic", "topic DB list | add TEXT [--match-case] [--match-word] | rename TOPIC TEXT | delete TOPIC",
       "list the topics of a database (ID, messages attached, text), or add (prints the new ID), rename or delete "
       "one; TOPIC is an ID or a text",
       cmdTopic, Needs::Writing},
      {"classify",
       "classify DB --topic TOPIC --scope thread|sender|recipient|section|date|all|word|topic|search|message [--id N] "
       "[--word W] [--set-topic TOPIC] [--remove] [--from YYYY-MM-DD --to YYYY-MM-DD]",
       "attach a topic to every message of a set (or remove it with --remove), only those dated From to To with "
       "the date filter; prints the messages classified and filtered out",
       cmdClassify, Needs::Writing},
      {"group",
       "group DB --scope ... [--id N] [--word W] [--topic TOPIC] [--from YYYY-MM-DD --to YYYY-MM-DD] "
       "(--export FILE [--append] [--layout N] [--outbox NAME] | --print --pdf FILE | --attach TOPIC | "
       "--remove TOPIC)",
       "the group operations over a set of messages: export, print, attach or remove a topic, as the export, "
       "print and classify commands do them",
       nullptr, Needs::Nothing},
      {"status", "status DB --message N|--thread N|--section N|--partner N|--database normal|keep|delete",
       "mark a message, thread, section, mail partner (with normal, keep or delete after its ID) or the database "
       "for the purge",
       cmdStatus, Needs::Writing},
      {"purge", "purge DB [--age-weeks N] [--unattended]",
       "delete what is marked for deletion (and, with --age-weeks, threads older than N weeks), then recount",
       cmdPurge, Needs::Writing},
      {"count", "count DB [--unattended]", "recount the messages of threads, sections and persons", cmdCount,
       Needs::Writing},
      {"persons", "persons DB [--by name|address] | rename ID --last L [--first F] | merge --keep ID ID... | aliases ID",
       "list the persons of a database (ID, name, address, messages sent and received), change a person's name, "
       "merge persons into the one kept (their messages and aliases move to it), or show a person's alias "
       "addresses",
       cmdPersons, Needs::Writing},
      {"rebuild", "rebuild [--next-id] [--unattended]",
       "rebuild the database list from the database directories, then raise the ID counter above every ID in "
       "use (with --next-id only the counter); prints the log CFG/TestDB.Txt",
       cmdRebuild, Needs::Writing},
      {"merge", "merge SOURCE TARGET [--commit-every N] [--unattended]",
       "merge every message of the database SOURCE into the database TARGET of the same kind, with the "
       "import's rules for duplicates, threads and persons (at most N messages to a commit with --commit-every); "
       "prints the counters",
       cmdMerge, Needs::Writing},
      {"dedup", "dedup DB [--unattended]",
       "merge the persons that share an address into one (the others become its aliases), then recount; prints "
       "the persons before, removed, merged and remaining, and the time",
       cmdDedup, Needs::Writing},
      {"addresses", "addresses DB --format tapcis|eudora|rfc822|ozwin2|vcard [--file NAME]",
       "write the persons of a database as an address book into the temporary directory (vcard in every kind "
       "of database; tapcis and ozwin2 in forum and mail, eudora in mail, rfc822 in mail and newsgroup "
       "databases); prints the file written",
       cmdAddresses, Needs::Writing},
      {"attachments", "attachments DB MSGID [--save DIR [--part N]]",
       "list the parts of a message's original (number, name, type, size), or save them (one with --part) as "
       "new files in DIR; prints the files written",
       cmdAttachments, Needs::Reading},
      {"definition",
       "definition list | show NAME | run NAME | add|edit NAME [--name NEW] --format F --target DB --path P "
       "--method files|dir|tree [--masks M] [--kinds mail,forum,news] [--mailbox DB] [--reimport|--no-reimport] "
       "[--topic T] | delete NAME",
       "list the import definitions of scheduled tasks, show one, run one now (unattended, with the import's "
       "counters), or add, change or delete one (edit changes only the options given; with --method files, "
       "--masks names the files, inside --path unless given in full)",
       cmdDefinition, Needs::Nothing},
      {"task",
       "task list | run NAME [--wait] | due [--wait] | add|edit NAME [--name NEW] --definition NAME... [--dedup] "
       "[--purge] [--count] [--index] [--once 'YYYY-MM-DD HH:MM'] [--weekdays sun,mon,...] [--monthdays 5,20] "
       "[--time HH:MM] [--inactive|--active] | delete NAME",
       "list the scheduled tasks; run one now, or every task that is due now (as the program's monitor would, "
       "honouring the restriction period), unattended, printing the task log's report: exits 0 when every step "
       "completed, 1 when errors were reported, 2 for a wrong name, 3 when the log could not be written and 4 "
       "when another program holds the installation (--wait waits for it instead); or add, change or delete a "
       "task (edit changes only the options given; --no-dedup, --no-purge, --no-count, --no-index and an empty "
       "--once, --weekdays or --monthdays clear; --index word-indexes only the databases whose automatic word "
       "indexing is on, and the log names the others)",
       cmdTask, Needs::Nothing},
      {"print",
       "print DB --scope thread|sender|recipient|section|date|all|word|topic|search|message [--id N] [--word W] "
       "[--topic ID|TEXT] [--min-id N] [--max-id N] [--since YYYY-MM-DD] [--until YYYY-MM-DD] --pdf FILE",
#ifdef QV_HAVE_PRINT
       "print the report of a set of messages to a PDF file", cmdPrint, Needs::Writing},
#else
       // Handed to qvcli-print, which opens the installation itself.
       "print the report of a set of messages to a PDF file", cmdPrint, Needs::Nothing},
#endif
  };
  return list;
}

namespace {
std::vector<std::string> startArguments;
}

const std::vector<std::string>& programArguments() { return startArguments; }

namespace {
std::string rootArgument;
}

int openInstallationFor(Needs needs, bool wait, int busyStatus) {
  namespace fs = std::filesystem;
  std::string error;
  qv::Access access = needs == Needs::Writing   ? qv::Access::Write
                      : needs == Needs::Reading ? qv::Access::Read
                                                : qv::Access::WriteIfFree;
  std::error_code ec;
  fs::path base = fs::absolute(rootArgument.empty() ? fs::path(".") : fs::path(rootArgument), ec).lexically_normal();
  // An installation of an older layout is converted first: nothing is read
  // in the wrong layout and nothing new is made beside it.
  if (qv::oldLayoutInstallation(base.string()))
    return fail(qv::convertFirstMessage(base.string(), "before 3.00"));
  for (;;) {
    if (qv::openInstallation(rootArgument, error, qv::MissingPaths::Create, access)) {
      int64_t version = qv::KonfigGet(qv::ItemConfigVersion);
      if (!qv::needsConversion(version)) return 0;
      qv::closeInstallation();
      return fail(qv::convertFirstMessage(base.string(), qv::versionText(version)));
    }
    bool busy = access == qv::Access::Write && qv::installationBusy(rootArgument);
    if (busy && wait) {
      sayError("Waiting for the program that holds the installation to end...\n");
      qv::waitForInstallation(rootArgument);
      continue;
    }
    if (access == qv::Access::Write && busyStatus == 1 && fs::exists(base / "CFG" / "IDX008.ADF", ec))
      error += "\nCommands that only read (info, list, show, search) can still be used.";
    int status = fail(error);
    return busy ? busyStatus : status;
  }
}

int fail(const std::string& message) {
  std::string s;
  for (size_t i = 0; i < message.size(); ++i)
    if (!(message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n')) s += message[i];
  sayError("qvcli: %s\n", s.c_str());
  return 1;
}

namespace {
void sayTo(FILE* out, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return;
  std::string text(size_t(n) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(size_t(n));
  std::string shown = qv::terminalText(text);
  std::fwrite(shown.data(), 1, shown.size(), out);
}
}  // namespace

void say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  sayTo(stdout, format, args);
  va_end(args);
}

void sayError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  sayTo(stderr, format, args);
  va_end(args);
}

void sayText(const std::string& text) {
  std::string shown = qv::terminalText(text);
  std::fwrite(shown.data(), 1, shown.size(), stdout);
}

bool takeOption(Args& args, const std::string& name, std::string& value) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name && i + 1 < args.size()) {
      value = args[i + 1];
      args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
      return true;
    }
    if (args[i].rfind(name + "=", 0) == 0) {
      value = args[i].substr(name.size() + 1);
      args.erase(args.begin() + long(i));
      return true;
    }
  }
  return false;
}

bool takeFlag(Args& args, const std::string& name) {
  for (size_t i = 0; i < args.size(); ++i)
    if (args[i] == name) {
      args.erase(args.begin() + long(i));
      return true;
    }
  return false;
}

std::vector<std::string> takeRepeated(Args& args, const std::string& name) {
  std::vector<std::string> out;
  std::string v;
  while (takeOption(args, name, v)) out.push_back(v);
  return out;
}

}  // namespace qvcli

namespace {

namespace fs = std::filesystem;

void usage(FILE* out) {
  std::fprintf(out,
               "Usage: qvcli [--root DIR] COMMAND [ARGUMENTS]\n\n"
               "Quorvane's command-line front end. DIR is the installation's root directory\n"
               "(default: $QUORVANE_ROOT, else the current directory).\n\nCommands:\n");
  for (const qvcli::Command& c : qvcli::commands()) std::fprintf(out, "  %s\n      %s\n", c.usage, c.summary);
}

bool hasOption(const qvcli::Args& args, const std::string& name) {
  for (const std::string& a : args)
    if (a == name || a.rfind(name + "=", 0) == 0) return true;
  return false;
}

// A command that writes only in some of its forms reads in the others, so
// that these work beside the program and on read-only media.
qvcli::Needs needsOf(const qvcli::Command& c, const qvcli::Args& args) {
  std::string name = c.name;
  bool reads = (name == "persons" && !(args.size() > 1 && (args[1] == "rename" || args[1] == "merge"))) ||
               (name == "words" && !hasOption(args, "--mark") && !hasOption(args, "--unmark")) ||
               (name == "stoplist" && !args.empty() && args[0] == "list") ||
               (name == "topic" && args.size() > 1 && args[1] == "list") ||
               (name == "export" && hasOption(args, "--clipboard"));
  return reads ? qvcli::Needs::Reading : c.needs;
}

// Runs a command on the installation it needs. A halt in the library ends
// the command: its text is told and the program ends with the halt status.
int runCommand(const qvcli::Command& cmd, qvcli::Args& args) {
  try {
    if (qvcli::Needs needs = needsOf(cmd, args); needs != qvcli::Needs::Nothing) {
      if (int status = qvcli::openInstallationFor(needs)) return status;
    }
    int rc = cmd.run(args);
    qv::closeInstallation();
    return rc;
  } catch (const qv::ProgramHalt& halt) {
    qvcli::fail(halt.text);
    qv::closeInstallation();
    return qv::kHaltExitStatus;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Everything the program writes is private to its user.
  ::umask(077);
  qvcli::startArguments.assign(argv, argv + argc);
  qvcli::Args args(argv + 1, argv + argc);
  std::string root;
  if (const char* env = std::getenv("QUORVANE_ROOT")) root = env;
  qvcli::takeOption(args, "--root", root);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    usage(stdout);
    return args.empty() ? 2 : 0;
  }
  std::string name = args[0];
  args.erase(args.begin());
  if (name == "group" && std::find(args.begin(), args.end(), "--help") == args.end()) {
    if (!qvcli::groupCommand(args, name)) return 2;
    // Said again as the command it stands for (print hands these over).
    qvcli::startArguments.assign(argv, argv + 1);
    if (!root.empty()) qvcli::startArguments.insert(qvcli::startArguments.end(), {"--root", root});
    qvcli::startArguments.push_back(name);
    qvcli::startArguments.insert(qvcli::startArguments.end(), args.begin(), args.end());
  }
  const qvcli::Command* cmd = nullptr;
  for (const qvcli::Command& c : qvcli::commands())
    if (name == c.name) cmd = &c;
  if (!cmd) {
    qvcli::fail("unknown command \"" + name + "\"");
    usage(stderr);
    return 2;
  }
  if (qvcli::takeFlag(args, "--help")) {
    std::printf("Usage: qvcli [--root DIR] %s\n  %s\n", cmd->usage, cmd->summary);
    return 0;
  }
  static qvcli::TerminalPrompter prompter;
  qv::setPrompter(&prompter);
  qv::registerFoxProDriver();
  qvcli::rootArgument = root;
  return runCommand(*cmd, args);
}
