// The databases an import run may write to, by name.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace qv {

struct Target {
  uint32_t id = 0;
  std::string name;
  uint32_t dirNumber = 0;
  int kind = 0;            // DbKind
  bool created = false;    // made by this run; its database record is added at posting
  bool allowed = true;     // may receive imports
  bool received = false;   // a message was converted for it in this run
};

class TargetList {
 public:
  // Loads every database of the database list (Forums must be open).
  bool load();
  // The database of a name (case-insensitive); nullptr when there is none.
  Target* find(const std::string& name);
  Target* findId(uint32_t id);
  // The database of a name, made when missing with an ID from `newId` and the
  // next free directory number (one the list does not hold and that is not on
  // disk). A name that exists with another kind is not
  // a target of this kind (nullptr).
  Target* findOrCreate(const std::string& name, int kind, const std::function<uint32_t()>& newId);
  // Drops the databases that received nothing.
  void dropUnused();
  bool empty() const { return byName_.empty(); }
  // The entries in name order.
  std::map<std::string, Target>& entries() { return byName_; }
  uint32_t nextDirNumber() const { return nextDir_; }

 private:
  std::map<std::string, Target> byName_;  // by upper-cased name
  uint32_t nextDir_ = 1;
};

}  // namespace qv
