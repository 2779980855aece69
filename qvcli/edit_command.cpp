#include "edit_command.h"

namespace qvcli {

namespace {

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

}  // namespace

EditVerb takeEditVerb(Args& args, const NamedKind& kind, const char* usage, int& status) {
  status = 0;
  if (args.empty()) return (status = fail(usage)), EditVerb::Done;
  std::string verb = args.front();
  args.erase(args.begin());
  if (verb == "add") return EditVerb::Add;
  if (verb == "edit") return EditVerb::Edit;
  if (verb != "delete" || args.size() != 1) return (status = fail(usage)), EditVerb::Done;
  uint32_t id = kind.find(args[0]);
  if (id == 0) return (status = fail(std::string("no ") + kind.noun + " named " + quoted(args[0]))), EditVerb::Done;
  if (!kind.remove(id))
    return (status = fail(args[0] + ": the " + kind.noun + " could not be deleted")), EditVerb::Done;
  say("%s deleted: %s\n", kind.caption, args[0].c_str());
  return EditVerb::Done;
}

bool takeEditName(const Args& args, const NamedKind& kind, const char* usage, bool adding, std::string& name,
                  uint32_t& existing, int& status) {
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return (status = fail("unknown option \"" + a + "\"")), false;
  if (args.size() != 1) return (status = fail(usage)), false;
  name = args[0];
  existing = kind.find(name);
  if (adding && existing != 0)
    return (status = fail(std::string(kind.article) + " " + kind.noun + " named " + quoted(name) + " exists already")),
           false;
  if (!adding && existing == 0)
    return (status = fail(std::string("no ") + kind.noun + " named " + quoted(name))), false;
  return true;
}

bool nameIsFree(const NamedKind& kind, const std::string& name, uint32_t self, int& status) {
  uint32_t other = kind.find(name);
  if (other == 0 || other == self) return true;
  status = fail(std::string(kind.article) + " " + kind.noun + " named " + quoted(name) + " exists already");
  return false;
}

}  // namespace qvcli
