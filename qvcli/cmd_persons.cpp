// qvcli persons: the persons of a database listed (by name or by address),
// renamed, merged into one, and their alias addresses shown.
#include <cstdlib>
#include <set>

#include "commands.h"
#include "persons/person_aliases.h"
#include "persons/person_list.h"
#include "persons/person_merge.h"
#include "persons/person_names.h"
#include "persons/person_rename.h"
#include "services/databases.h"
#include "services/globals.h"
#include "services/installation.h"

namespace qvcli {

namespace {

const char* const kUsage =
    "usage: persons DB [--by name|address] | persons DB rename ID --last L [--first F] | "
    "persons DB merge --keep ID ID... | persons DB aliases ID";

bool personId(const std::string& s, uint32_t& out) {
  if (s.empty() || s.size() > 10 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long long v = std::strtoull(s.c_str(), nullptr, 10);
  if (v == 0 || v > 0xFFFFFFFFull) return false;
  out = uint32_t(v);
  return true;
}

// A text padded with blanks to `width` characters (not bytes).
std::string padded(const std::string& s, size_t width) {
  size_t chars = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++chars;
  return chars >= width ? s : s + std::string(width - chars, ' ');
}

int list(Args& args) {
  std::string by = "name";
  takeOption(args, "--by", by);
  if (by != "name" && by != "address") return fail("--by takes name or address");
  if (args.size() != 1) return fail(kUsage);
  say("%10s  %-35s %-40s %8s %8s\n", "ID", "Name", "Address", "Sent", "Received");
  qv::forEachPerson(by == "address" ? qv::PersonOrder::ByAddress : qv::PersonOrder::ByName,
                    [](const qv::PersonRow& r) {
                      std::string name = qv::personWindowName(r.lastName, r.firstName, true);
                      say("%10u  %s %s %8u %8u\n", r.id, padded(name, 35).c_str(), padded(r.address, 40).c_str(),
                          r.sent, r.received);
                      return true;
                    });
  return 0;
}

int rename(Args& args) {
  std::string last, first;
  bool haveLast = takeOption(args, "--last", last);
  takeOption(args, "--first", first);
  uint32_t id = 0;
  if (args.size() != 3 || !haveLast) return fail("usage: persons DB rename ID --last L [--first F]");
  if (!personId(args[2], id)) return fail("\"" + args[2] + "\" is not a person ID");
  if (last.size() > qv::kWholeNameMax || first.size() > qv::kWholeNameMax)
    return fail("a last and a first name are at most " + std::to_string(qv::kWholeNameMax) + " bytes each");
  // The record as read now is what the change starts from.
  qv::PersonRec opened;
  if (!qv::readPersonRecord(id, opened)) return fail("no person " + args[2] + " in " + args[0]);
  qv::RenameResult r = qv::renamePerson(opened, last, first);
  if (r != qv::RenameResult::Done) return 1;
  say("%u  %s\n", id, qv::personWindowName(last, first, true).c_str());
  return 0;
}

int merge(Args& args) {
  std::string keep;
  if (!takeOption(args, "--keep", keep) || args.size() < 3)
    return fail("usage: persons DB merge --keep ID ID...");
  std::vector<std::string> ids = {keep};
  ids.insert(ids.end(), args.begin() + 2, args.end());
  qv::MergeList list;
  for (const std::string& s : ids) {
    uint32_t id = 0;
    if (!personId(s, id)) return fail("\"" + s + "\" is not a person ID");
    qv::MergeList::Added a = list.add(id);
    if (a == qv::MergeList::Added::Listed) return fail("person " + s + " is named twice");
    if (a != qv::MergeList::Added::NotFound) continue;
    if (list.empty()) return fail("no person " + s + " in " + args[0] + " to keep");
    // Merged already (by a run that was cut short, say): nothing left to do for it.
    sayError("qvcli: no person %s in %s; passed over\n", s.c_str(), args[0].c_str());
  }
  if (!list.canMerge()) {
    say("nothing to merge\n");
    return 0;
  }
  qv::MergeResult r = qv::mergePersons(list);
  for (uint32_t id : r.merged) say("merged %u into %u\n", id, list.keptId());
  if (!r.completed) return fail("the merge ended early; the persons listed above were merged");
  return r.ownerStayed ? 1 : 0;
}

int aliases(Args& args) {
  uint32_t id = 0;
  if (args.size() != 3) return fail("usage: persons DB aliases ID");
  if (!personId(args[2], id)) return fail("\"" + args[2] + "\" is not a person ID");
  qv::AliasList list;
  if (!qv::buildAliasList(id, list)) return fail("no person " + args[2] + " in " + args[0]);
  say("current: %s  (%s)\n", list.address.c_str(), list.personString.c_str());
  for (const qv::AliasEntry& e : list.entries) say("alias:   %s  (%s)\n", e.address.c_str(), e.personString.c_str());
  return 0;
}

}  // namespace

int cmdPersons(const Args& argsIn) {
  Args args = argsIn;
  if (args.empty()) return fail(kUsage);
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  std::string action = args.size() > 1 && args[1].rfind("--", 0) != 0 ? args[1] : "";
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool known = a == "--by" || a == "--last" || a == "--first" || a == "--keep" || a.rfind("--by=", 0) == 0 ||
                 a.rfind("--last=", 0) == 0 || a.rfind("--first=", 0) == 0 || a.rfind("--keep=", 0) == 0;
    if (a.rfind("--", 0) == 0 && !known) return fail("unknown option \"" + a + "\"");
    // An option's value may itself begin with "--"; it is passed over.
    if (a == "--by" || a == "--last" || a == "--first" || a == "--keep") ++i;
  }
  if (action.empty()) return list(args);
  if (action == "rename") return rename(args);
  if (action == "merge") return merge(args);
  if (action == "aliases") return aliases(args);
  return fail("unknown persons action \"" + action + "\"; " + kUsage);
}

}  // namespace qvcli
