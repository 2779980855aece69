// import: one import run over files, a directory or a directory tree.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "commands.h"
#include "dictionary/dictionary.h"
#include "import/formats.h"
#include "import/import_run.h"
#include "import/skip_reasons.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/globals.h"

namespace fs = std::filesystem;

namespace qvcli {

int cmdImport(const Args& argsIn) {
  Args args = argsIn;
  qv::ImportSettings s;
  std::string method = "files", kinds, masks, filter = "all", mailbox, forum, format, topic, commitEvery;
  if (!takeOption(args, "--format", format)) return fail("import needs --format NAME (see: qvcli formats)");
  if (!qv::formatByName(format)) return fail("unknown format \"" + format + "\" (see: qvcli formats)");
  takeOption(args, "--mailbox", mailbox);
  takeOption(args, "--forum", forum);
  takeOption(args, "--kinds", kinds);
  takeOption(args, "--method", method);
  takeOption(args, "--masks", masks);
  takeOption(args, "--filter", filter);
  takeOption(args, "--topic", topic);
  takeOption(args, "--commit-every", commitEvery);
  s.allowReimport = takeFlag(args, "--reimport");
  s.indexWords = takeFlag(args, "--index");
  bool unattendedRun = takeFlag(args, "--unattended");
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (args.empty()) return fail("import needs at least one PATH");

  const qv::FormatInfo* f = qv::formatByName(format);
  s.format = format;
  if (kinds.empty()) {
    s.importMail = f->kinds & qv::ImportsMail;
    s.importForum = f->kinds & qv::ImportsForum;
    s.importNews = f->kinds & qv::ImportsNews;
  } else {
    for (const std::string& k : qv::ImportSettings::splitMasks([&] {
           std::string t = kinds;
           for (char& c : t)
             if (c == ',') c = ';';
           return t;
         }())) {
      if (k == "mail") s.importMail = true;
      else if (k == "forum") s.importForum = true;
      else if (k == "news") s.importNews = true;
      else return fail("unknown message kind \"" + k + "\" (mail, forum, news)");
    }
  }
  if (filter == "all") s.filter = qv::FilterAll;
  else if (filter == "create-only") s.filter = qv::FilterCreateOnly;
  else return fail("--filter is all or create-only");
  if (!mailbox.empty()) {
    if (!qv::findDatabase(mailbox) || qv::FOR.TYPE != qv::KindMailDb) return fail("no mailbox named \"" + mailbox + "\"");
    s.mailbox = qv::FOR.ID;
  }
  if (!forum.empty()) s.forumName = forum;
  if (!commitEvery.empty()) {
    s.commitMessages = std::atoi(commitEvery.c_str());
    if (s.commitMessages < 1) return fail("--commit-every is a number of messages");
  }
  if (!topic.empty()) s.mailTopic = uint32_t(std::strtoul(topic.c_str(), nullptr, 10));
  if (s.importMail && s.mailbox == 0) {
    auto boxes = qv::listDatabases(2);
    if (boxes.empty()) return fail("You must set up a MailBox to import to! (qvcli mailbox add)");
    if (boxes.size() > 1 && !s.importForum && !s.importNews) return fail("choose the target with --mailbox NAME");
    s.mailbox = boxes.front().id;
  }
  if (s.importForum && qv::needsForumName(*f) && s.forumName.empty())
    return fail("You must select a database to import to! (--forum NAME)");

  if (method == "tree" || method == "dir") {
    if (args.size() != 1) return fail("--method " + method + " takes one directory");
    s.method = method == "tree" ? qv::SelectTree : qv::SelectDirectory;
    s.path = fs::absolute(args[0]).lexically_normal().string();
    s.masks = qv::ImportSettings::splitMasks(masks.empty() ? f->defaultMask : masks);
  } else if (method == "files") {
    s.method = qv::SelectFiles;
    s.path = fs::current_path().string();
    for (const std::string& a : args) s.masks.push_back(fs::absolute(a).lexically_normal().string());
  } else {
    return fail("--method is tree, dir or files");
  }

  if (unattendedRun) qv::Mem.DoTask = qv::RunUnattended;
  qv::ImportRun run(s);
  std::string lastStatus;
  while (run.step()) {
    if (run.view().status != lastStatus) {
      lastStatus = run.view().status;
      sayError("%s\n", lastStatus.c_str());
    }
  }
  run.close();
  const qv::ImportView& v = run.view();
  say("Status:              %s\n", v.status.c_str());
  say("Messages imported:   %lld\n", static_cast<long long>(v.imported));
  say("Messages skipped:    %lld\n", static_cast<long long>(v.skipped));
  for (const std::string& line : qv::skipReasonLines(v.skippedFor)) say("  %s\n", line.c_str());
  // What kept sources from being read or the run from posting, also where
  // nothing could be shown (unattended).
  for (const std::string& line : v.problems) say("Problem:             %s\n", line.c_str());
  if (v.indexed > 0) say("Messages indexed:    %lld\n", static_cast<long long>(v.indexed));
  say("Temporary records:   %lld\n", static_cast<long long>(v.tempRecords));
  say("Elapsed seconds:     %lld\n", static_cast<long long>(run.elapsedSeconds()));
  say("Result:              %s\n", run.result() == 1 ? "completed" : "not completed");
  return run.result() == 1 ? 0 : 1;
}

int cmdFormats(const Args&) {
  for (const qv::FormatInfo* f : qv::offeredFormats())
    say("%3d  %-22s %s\n", f->number, f->name, f->defaultMask);
  return 0;
}

}  // namespace qvcli
