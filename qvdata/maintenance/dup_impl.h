// The inside of a duplicate elimination run, shared by the files of its
// steps: dup_run.cpp (the driver, transactions and the order of the steps),
// dup_repair.cpp (step 1), dup_keepers.cpp (steps 2 to 4) and
// dup_merge.cpp (steps 5 to 7).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "maintenance/dup_run.h"
#include "services/engine_run.h"

namespace qv {

class File;

// A person sharing its address with another, and the keeper of an address.
struct DupSuspect {
  std::string address;  // as compared: upper case in a mailbox
  uint32_t id = 0;
  std::string alpha;    // the last name as the keys hold it (mail: 25 characters, otherwise 10)
  uint32_t sent = 0;    // messages sent
  int32_t newest = 0;   // date of the newest message sent
};

// A person to merge into the keeper of its address.
struct DupMergeEntry {
  std::string address;
  uint32_t oldId = 0;
  std::string oldAlpha;
  uint32_t sent = 0;
  uint32_t newId = 0;  // 0 until the keeper is known
  std::string newAlpha;
};

struct DupRun::Impl : EngineRun {
  Impl();
  ~Impl() override { close(); }

  int kind = 0;
  DupView view;
  uint32_t ownerId = 0;  // mail: the mailbox owner's person

  std::vector<DupSuspect> suspects;
  std::unordered_map<std::string, DupSuspect> keepers;  // by address
  std::vector<DupMergeEntry> recodes;

  bool mail() const;
  // The width of the alpha a suspect carries.
  size_t alphaWidth() const { return mail() ? 25 : 10; }
  // The form of an address that is compared.
  std::string compared(const std::string& address) const;

  // Opens the files, shows the number of persons and begins at the first
  // step; false (Failed) when the database cannot be had.
  bool start();
  DupStep currentStep() const { return DupStep(step); }
  bool changing() const;

  // The steps (EngineRun walks them).
  std::string stepLabel() const override;
  void collect() override;
  bool item(int64_t record) override;
  int nextStep() override;
  void finished() override;

  // dup_repair.cpp
  bool repairPerson(uint32_t id);
  // Gives the messages of a person found under the old last name's alphas the new one's.
  bool realphaMessages(uint32_t id, const std::string& oldLast, const std::string& newLast, int& n);
  // dup_keepers.cpp
  void collectSuspects();
  bool countSuspect(size_t index);
  void chooseKeepers();
  void keepersOfUnsentAddresses();
  // dup_merge.cpp
  bool recodeMessages(size_t index);
  bool deleteDuplicate(size_t index);
  bool recountPerson(uint32_t id);
  bool storeMailCount();
};

}  // namespace qv
