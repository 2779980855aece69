// qvcli status DB --message N|--thread N|--section N|--partner N|--database
// normal|keep|delete: the status marks the purge acts on.
#include <map>

#include "browse/status_marks.h"
#include "commands.h"
#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/globals.h"
#include "services/installation.h"

namespace qvcli {

namespace {

const std::map<std::string, int> kStatusWords = {{"normal", 0}, {"keep", 1}, {"delete", 2}};
const char* kUsage = "usage: status DB --message N|--thread N|--section N|--partner N|--database normal|keep|delete";

}  // namespace

int cmdStatus(const Args& argsIn) {
  Args args = argsIn;
  const std::pair<const char*, qv::StatusLevel> levels[] = {{"--message", qv::LevelMessage},
                                                            {"--thread", qv::LevelThread},
                                                            {"--section", qv::LevelSection},
                                                            {"--partner", qv::LevelPartner}};
  std::string value, word;
  int chosen = 0;
  qv::StatusLevel level = qv::LevelMessage;
  for (const auto& [name, l] : levels)
    if (takeOption(args, name, value)) {
      level = l;
      ++chosen;
    }
  if (takeOption(args, "--database", word)) {
    level = qv::LevelDatabase;
    ++chosen;
  }
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (level != qv::LevelDatabase && args.size() == 2) {
    word = args[1];
    args.pop_back();
  }
  if (chosen != 1 || args.size() != 1 || !kStatusWords.count(word)) return fail(kUsage);
  uint32_t id = 0;
  if (level != qv::LevelDatabase) {
    try {
      size_t used = 0;
      unsigned long n = std::stoul(value, &used);
      if (used != value.size() || n == 0 || n > UINT32_MAX) throw std::invalid_argument(value);
      id = uint32_t(n);
    } catch (const std::exception&) {
      return fail("not an ID: \"" + value + "\"");
    }
  }
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  int kind = qv::Mem.ForumType;
  if (!qv::setItemStatus(kind, level, id, kStatusWords.at(word)))
    return fail(args[0] + ": the status could not be set (no such item in a " + kindName(kind) + " database?)");
  say("%s: status %s\n", args[0].c_str(), word.c_str());
  return 0;
}

}  // namespace qvcli
