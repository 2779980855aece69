// qvcli definition add|edit|delete NAME: import definitions kept for
// scheduled tasks, with the same checks as the definition editor.
#include <filesystem>

#include "commands.h"
#include "edit_command.h"
#include "dictionary/dictionary.h"
#include "import/formats.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/topics.h"
#include "tasks/definition_edit.h"

namespace fs = std::filesystem;

namespace qvcli {

namespace {

const char* const kUsage =
    "usage: definition add|edit NAME [--name NEW] --format F --target DB --path P --method files|dir|tree "
    "[--masks M] [--kinds mail,forum,news] [--mailbox DB] [--reimport|--no-reimport] [--topic T]\n"
    "       (with --method files, --path is the file, or its directory with the files' names in --masks)\n"
    "       definition delete NAME";

std::string commasToSemicolons(std::string t) {
  for (char& c : t)
    if (c == ',') c = ';';
  return t;
}

// The options of add and edit, taken out of the arguments.
struct DefinitionOptions {
  std::string name, format, target, path, method, masks, kinds, mailbox, topic;
  bool hasName = false, hasFormat = false, hasTarget = false, hasPath = false, hasMethod = false, hasMasks = false,
       hasKinds = false, hasMailbox = false, hasTopic = false, reimport = false, noReimport = false;

  void take(Args& args) {
    hasName = takeOption(args, "--name", name);
    hasFormat = takeOption(args, "--format", format);
    hasTarget = takeOption(args, "--target", target);
    hasPath = takeOption(args, "--path", path);
    hasMethod = takeOption(args, "--method", method);
    hasMasks = takeOption(args, "--masks", masks);
    hasKinds = takeOption(args, "--kinds", kinds);
    hasMailbox = takeOption(args, "--mailbox", mailbox);
    hasTopic = takeOption(args, "--topic", topic);
    reimport = takeFlag(args, "--reimport");
    noReimport = takeFlag(args, "--no-reimport");
  }
};

// The options given, applied to the definition; false (reported, status
// set) on a wrong value.
bool applyOptions(const DefinitionOptions& o, qv::ImportDefinition& d, bool adding, int& status) {
  qv::ImportSettings& s = d.settings;
  const auto& [name, format, target, path, method, masks, kinds, mailbox, topic, hasName, hasFormat, hasTarget, hasPath,
               hasMethod, hasMasks, hasKinds, hasMailbox, hasTopic, reimport, noReimport] = o;
  if (adding && !(hasFormat && hasTarget && hasPath && hasMethod))
    return (status = fail("definition add needs --format, --target, --path and --method\n" + std::string(kUsage))), false;

  if (hasName) d.description = name;
  if (d.description.size() > 50) return (status = fail("a definition's name has 50 characters at most")), false;
  if (hasFormat) {
    const qv::FormatInfo* f = qv::formatByName(format);
    if (!f) return (status = fail("unknown format \"" + format + "\" (see: qvcli formats)")), false;
    s.format = format;
    if (!hasKinds) {
      s.importMail = f->kinds & qv::ImportsMail;
      s.importForum = f->kinds & qv::ImportsForum;
      s.importNews = f->kinds & qv::ImportsNews;
    }
  }
  if (hasKinds) {
    s.importMail = s.importForum = s.importNews = false;
    for (const std::string& k : qv::ImportSettings::splitMasks(commasToSemicolons(kinds))) {
      if (k == "mail") s.importMail = true;
      else if (k == "forum") s.importForum = true;
      else if (k == "news") s.importNews = true;
      else return (status = fail("unknown message kind \"" + k + "\" (mail, forum, news)")), false;
    }
  }
  if (hasTarget) {
    if (!qv::findDatabase(target)) return (status = fail("no database named \"" + target + "\"")), false;
    if (qv::FOR.TYPE == qv::KindMailDb) {
      s.mailbox = qv::FOR.ID;
      s.forumName.clear();
    } else {
      s.forumName = qv::FOR.DESCRIPTION.str();
    }
  }
  if (hasMailbox) {
    if (!qv::findDatabase(mailbox) || qv::FOR.TYPE != qv::KindMailDb)
      return (status = fail("no mailbox named \"" + mailbox + "\"")), false;
    s.mailbox = qv::FOR.ID;
  }
  // Mail into a forum database's definition goes to the only mailbox there is.
  if (adding && s.importMail && s.mailbox == 0) {
    auto boxes = qv::listDatabases(qv::KindMailDb);
    if (boxes.size() == 1) s.mailbox = boxes.front().id;
  }
  if (hasPath) s.path = fs::absolute(path).lexically_normal().string();
  if (hasMethod) {
    if (method == "tree") s.method = qv::SelectTree;
    else if (method == "dir") s.method = qv::SelectDirectory;
    else if (method == "files") s.method = qv::SelectFiles;
    else return (status = fail("--method is files, dir or tree")), false;
  }
  if (hasMasks) {
    s.masks = qv::ImportSettings::splitMasks(masks);
  } else if (adding && s.method != qv::SelectFiles) {
    const qv::FormatInfo* f = qv::formatByName(s.format);
    s.masks = qv::ImportSettings::splitMasks(f ? f->defaultMask : "");
  } else if (hasMethod && !adding) {
    s.masks.clear();  // masks and selected files do not carry over from one method to the other
  }
  // With selected files --path may name the file itself, as import takes
  // it: its directory becomes the path and the file is selected.
  if (s.method == qv::SelectFiles && hasPath) {
    std::error_code ec;
    fs::path p(s.path);
    bool file = fs::is_regular_file(p, ec) || (!hasMasks && !fs::exists(p, ec));
    if (file) {
      s.path = p.parent_path().string();
      s.masks.insert(s.masks.begin(), p.string());
    }
  }
  // Selected files are kept with their full names.
  if (s.method == qv::SelectFiles)
    for (std::string& m : s.masks)
      if (!m.empty() && fs::path(m).is_relative()) m = (fs::path(s.path) / m).lexically_normal().string();
  if (reimport) s.allowReimport = true;
  if (noReimport) s.allowReimport = false;
  if (hasTopic) {
    s.mailTopic = 0;
    if (!topic.empty() && topic.find_first_not_of("0123456789") == std::string::npos) {
      s.mailTopic = uint32_t(std::stoul(topic));
    } else if (!topic.empty()) {
      uint32_t dir = s.mailbox && qv::findDatabase(s.mailbox) ? qv::FOR.DIRNUMBER : 0;
      for (const qv::Topic& t : dir ? qv::listTopics(dir) : std::vector<qv::Topic>{})
        if (t.text == topic) s.mailTopic = t.id;
      if (s.mailTopic == 0) return (status = fail("no topic \"" + topic + "\" in the definition's mailbox")), false;
    }
  }
  return true;
}

}  // namespace

int cmdDefinitionEdit(const Args& argsIn) {
  Args args = argsIn;
  const NamedKind kind{"import definition", "an", "Import definition", qv::FindImportDefinition,
                       qv::DeleteImportDefinition};
  int status = 0;
  EditVerb verb = takeEditVerb(args, kind, kUsage, status);
  if (verb == EditVerb::Done) return status;
  bool adding = verb == EditVerb::Add;
  DefinitionOptions options;
  options.take(args);
  std::string name;
  uint32_t existing = 0;
  if (!takeEditName(args, kind, kUsage, adding, name, existing, status)) return status;
  qv::ImportDefinition d;
  if (adding) d.description = name;
  else if (!qv::ReadImportDefinition(existing, d)) return fail(name + ": the definition could not be read");
  if (!applyOptions(options, d, adding, status)) return status;
  if (!nameIsFree(kind, d.description, existing, status)) return status;
  if (adding) {
    d.id = qv::AddImportDefinition(d.description, d.settings);
    if (d.id == 0) return 1;
    say("Import definition added: %s (ID %u)\n", d.description.c_str(), d.id);
  } else {
    if (!qv::UpdateImportDefinition(d)) return 1;
    say("Import definition changed: %s\n", d.description.c_str());
  }
  return 0;
}

}  // namespace qvcli
