#include "import/target_list.h"

#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "storage/collation.h"

namespace qv {

bool TargetList::load() {
  byName_.clear();
  nextDir_ = 1;
  Forums.set(FOR_ForumKey);
  while (Forums.next()) {
    Target t;
    t.id = FOR.ID;
    t.name = FOR.DESCRIPTION.str();
    t.dirNumber = FOR.DIRNUMBER;
    t.kind = FOR.TYPE;
    t.allowed = FOR.NOIMPORT == 0;
    if (FOR.DIRNUMBER >= nextDir_) nextDir_ = FOR.DIRNUMBER + 1;
    byName_[foldUpper(t.name)] = t;
  }
  return ErrorCode() == ErrNotAvailable || ErrorCode() == ErrNone;
}

Target* TargetList::find(const std::string& name) {
  auto it = byName_.find(foldUpper(Str<100>(name).str()));
  return it == byName_.end() ? nullptr : &it->second;
}

Target* TargetList::findId(uint32_t id) {
  for (auto& [k, t] : byName_)
    if (t.id == id) return &t;
  return nullptr;
}

Target* TargetList::findOrCreate(const std::string& rawName, int kind, const std::function<uint32_t()>& newId) {
  std::string name = Str<100>(rawName).str();
  if (name.empty()) return nullptr;
  if (Target* t = find(name)) return t->kind == kind ? t : nullptr;
  uint32_t id = newId();
  if (id == 0) return nullptr;
  Target t;
  t.id = id;
  t.name = name;
  // A directory a deleted database left on disk is not taken.
  while (dirNumberOnDisk(nextDir_)) ++nextDir_;
  t.dirNumber = nextDir_++;
  t.kind = kind;
  t.created = true;
  return &(byName_[foldUpper(name)] = t);
}

void TargetList::dropUnused() {
  for (auto it = byName_.begin(); it != byName_.end();) it = it->second.received ? std::next(it) : byName_.erase(it);
}

}  // namespace qv
