// forum add, mailbox add, list: creating and listing databases.
#include <cstdio>

#include "commands.h"
#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/db_kind.h"

namespace qvcli {

const char* kindName(int kind) {
  switch (kind) {
    case qv::KindForumDb: return "forum";
    case qv::KindMailDb: return "mail";
    case qv::KindNewsDb: return "newsgroup";
    default: return "?";
  }
}

int cmdForum(const Args& argsIn) {
  Args args = argsIn;
  std::string kind = "forum";
  if (args.size() != 2 || args[0] != "add") return fail("usage: forum add NAME");
  uint32_t id = qv::AddForumDatabase(args[1], 1);
  if (id == 0) return fail("the forum database \"" + args[1] + "\" was not created");
  qv::findDatabase(id);
  say("Forum database \"%s\" created (ID %u, directory F%u)\n", args[1].c_str(), id, qv::FOR.DIRNUMBER);
  return 0;
}

int cmdMailbox(const Args& argsIn) {
  Args args = argsIn;
  if (args.empty() || args[0] != "add") return fail("usage: mailbox add --owner NAME --address ADDR [--alt ADDR]...");
  args.erase(args.begin());
  qv::MailboxSpec spec;
  if (!takeOption(args, "--owner", spec.owner) || spec.owner.empty()) return fail("mailbox add needs --owner NAME");
  if (!takeOption(args, "--address", spec.address) || spec.address.empty())
    return fail("mailbox add needs --address ADDR");
  std::vector<std::string> alts = takeRepeated(args, "--alt");
  if (alts.size() > 10) return fail("a mailbox has at most 10 alternative addresses");
  if (!args.empty()) return fail("unexpected argument \"" + args[0] + "\"");
  for (size_t i = 0; i < alts.size(); ++i) spec.alternatives[i] = alts[i];
  uint32_t id = qv::AddMailbox(spec);
  if (id == 0) return fail("the mailbox \"" + spec.owner + "\" was not created");
  qv::findDatabase(id);
  say("Mailbox \"%s\" <%s> created (ID %u, directory F%u)\n", spec.owner.c_str(), spec.address.c_str(), id,
      qv::FOR.DIRNUMBER);
  return 0;
}

int cmdList(const Args& args) {
  if (!args.empty()) return fail("list takes no arguments");
  auto list = qv::listDatabases();
  say("%-10s %-10s %-7s %9s  %s\n", "ID", "kind", "dir", "messages", "name");
  for (const auto& d : list)
    say("%-10u %-10s F%-6u %9u  %s%s\n", d.id, kindName(d.kind), d.dirNumber, d.messages, d.name.c_str(),
        d.importAllowed ? "" : "  (import disallowed)");
  if (list.empty()) say("(no databases)\n");
  return 0;
}

}  // namespace qvcli
