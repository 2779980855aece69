// The shape that "qvcli task" and "qvcli definition" share for add, edit
// and delete of a named record: the verb, the one name left after the
// options, and the check that the name exists (edit) or does not (add).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "commands.h"

namespace qvcli {

struct NamedKind {
  const char* noun;                                  // "task"
  const char* article;                               // "a"
  const char* caption;                               // "Task", for "Task deleted: NAME"
  std::function<uint32_t(const std::string&)> find;  // 0 when there is none
  std::function<bool(uint32_t)> remove;
};

enum class EditVerb { Add, Edit, Done };

// Takes "add", "edit" or "delete NAME" off the front of args. A delete is
// carried out at once and answers Done with its exit status in `status`,
// as does a wrong verb.
EditVerb takeEditVerb(Args& args, const NamedKind& kind, const char* usage, int& status);

// After the options were taken: exactly one name is left and no unknown
// option. Answers the existing record's ID (0 when adding), or false with
// the exit status in `status` when the name is wrong for the verb.
bool takeEditName(const Args& args, const NamedKind& kind, const char* usage, bool adding, std::string& name,
                  uint32_t& existing, int& status);

// "a task named "NAME" exists already" unless `name` is free or is `self`.
bool nameIsFree(const NamedKind& kind, const std::string& name, uint32_t self, int& status);

}  // namespace qvcli
