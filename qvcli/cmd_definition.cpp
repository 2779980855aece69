// qvcli definition list|show|run (and add|edit|delete, in
// cmd_definition_edit.cpp): the import definitions of scheduled tasks, and
// one of them run now, unattended, as a task runs it.
#include <cstdio>

#include "commands.h"
#include "dictionary/dictionary.h"
#include "import/import_run.h"
#include "import/skip_reasons.h"
#include "services/databases.h"
#include "services/globals.h"
#include "tasks/definition_edit.h"

namespace qvcli {

namespace {

const char* methodName(int method) {
  switch (method) {
    case qv::SelectTree: return "tree";
    case qv::SelectDirectory: return "dir";
    default: return "files";
  }
}

std::string databaseName(uint32_t id) {
  if (id == 0) return "-";
  return qv::findDatabase(id) ? qv::FOR.DESCRIPTION.str() : "(deleted database " + std::to_string(id) + ")";
}

std::string kindsText(const qv::ImportSettings& s) {
  std::string k;
  if (s.importMail) k += "mail";
  if (s.importForum) k += std::string(k.empty() ? "" : ",") + "forum";
  if (s.importNews) k += std::string(k.empty() ? "" : ",") + "news";
  return k.empty() ? "-" : k;
}

int definitionList(const Args& args) {
  if (!args.empty()) return fail("usage: definition list"), 2;
  if (int status = openInstallationFor(Needs::Reading)) return status;
  for (const qv::ImportDefinition& d : qv::ListImportDefinitions())
    say("%-30s %-20s %-5s %s\n", d.description.c_str(), d.settings.format.c_str(), methodName(d.settings.method),
        d.settings.path.c_str());
  return 0;
}

int definitionShow(const Args& args) {
  if (args.size() != 1) return fail("usage: definition show NAME"), 2;
  if (int status = openInstallationFor(Needs::Reading)) return status;
  qv::ImportDefinition d;
  uint32_t id = qv::FindImportDefinition(args[0]);
  if (id == 0 || !qv::ReadImportDefinition(id, d)) return fail("no import definition named \"" + args[0] + "\""), 2;
  const qv::ImportSettings& s = d.settings;
  say("Name:       %s\n", d.description.c_str());
  say("ID:         %u\n", d.id);
  say("Format:     %s\n", s.format.c_str());
  say("Target:     %s\n", s.forumName.empty() ? "-" : s.forumName.c_str());
  say("Mailbox:    %s\n", databaseName(s.mailbox).c_str());
  say("Path:       %s\n", s.path.c_str());
  say("Method:     %s\n", methodName(s.method));
  for (const std::string& m : s.masks) say("%s %s\n", s.method == qv::SelectFiles ? "File:      " : "Mask:      ", m.c_str());
  say("Kinds:      %s\n", kindsText(s).c_str());
  say("Reimport:   %s\n", s.allowReimport ? "yes" : "no");
  say("Mail topic: %u\n", s.mailTopic);
  return 0;
}

int definitionRun(Args args) {
  if (args.size() != 1) return fail("usage: definition run NAME"), 2;
  if (int status = openInstallationFor(Needs::Writing, false, kExitBusy)) return status;
  qv::ImportDefinition d;
  uint32_t id = qv::FindImportDefinition(args[0]);
  if (id == 0 || !qv::ReadImportDefinition(id, d)) return fail("no import definition named \"" + args[0] + "\""), 2;
  // As a scheduled task runs it: nothing is asked.
  qv::Mem.DoTask = qv::RunUnattended;
  qv::ImportRun run(d.settings);
  std::string lastStatus;
  while (run.step()) {
    if (run.view().status != lastStatus) {
      lastStatus = run.view().status;
      sayError("%s\n", lastStatus.c_str());
    }
  }
  run.close();
  qv::Mem.DoTask = qv::RunInteractive;
  const qv::ImportView& v = run.view();
  say("Status:              %s\n", v.status.c_str());
  say("Messages imported:   %lld\n", static_cast<long long>(v.imported));
  say("Messages skipped:    %lld\n", static_cast<long long>(v.skipped));
  for (const std::string& line : qv::skipReasonLines(v.skippedFor)) say("  %s\n", line.c_str());
  for (const std::string& line : v.problems) say("Problem:             %s\n", line.c_str());
  say("Elapsed seconds:     %lld\n", static_cast<long long>(run.elapsedSeconds()));
  say("Result:              %s\n", run.result() == 1 ? "completed" : "not completed");
  return run.result() == 1 ? 0 : 1;
}

}  // namespace

int cmdDefinition(const Args& argsIn) {
  Args args = argsIn;
  std::string sub = args.empty() ? "" : args.front();
  if (!args.empty()) args.erase(args.begin());
  if (sub == "list") return definitionList(args);
  if (sub == "show") return definitionShow(args);
  if (sub == "run") return definitionRun(args);
  if (sub == "add" || sub == "edit" || sub == "delete") {
    if (int status = openInstallationFor(Needs::Writing)) return status;
    return cmdDefinitionEdit(argsIn);
  }
  fail("usage: definition list | show NAME | run NAME | add|edit|delete NAME ...");
  return 2;
}

}  // namespace qvcli
