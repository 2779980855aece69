// Steps 2 to 4 of duplicate elimination: the persons that share an address
// (suspects), their sent messages, and of every address the person kept and
// the persons merged into it.
#include <algorithm>

#include "dictionary/dictionary.h"
#include "maintenance/dup_impl.h"
#include "services/persons.h"

namespace qv {

void DupRun::Impl::collectSuspects() {
  std::vector<DupSuspect> all;
  Person.set(PER_AddressKey);
  while (Person.next()) {
    std::string address = compared(PER.ADDRESS.str());
    if (address.empty()) continue;
    DupSuspect s;
    s.address = std::move(address);
    s.id = PER.PERSONID;
    s.alpha = mail() ? Str<25>(PER.LASTNAME.view()).str() : Str<10>(PER.LASTNAME.view()).str();
    all.push_back(std::move(s));
  }
  // Equal addresses side by side also where the key's order is not the
  // comparison's (a mailbox compares them without regard to case).
  std::stable_sort(all.begin(), all.end(),
                   [](const DupSuspect& a, const DupSuspect& b) { return a.address < b.address; });
  for (size_t i = 0; i < all.size(); ++i) {
    bool withPrevious = i > 0 && all[i].address == all[i - 1].address;
    bool withNext = i + 1 < all.size() && all[i].address == all[i + 1].address;
    if (withPrevious || withNext) suspects.push_back(all[i]);
  }
}

bool DupRun::Impl::countSuspect(size_t index) {
  DupSuspect& s = suspects[index];
  s.sent = 0;
  s.newest = 0;
  File& f = mail() ? Mail : MsgNmbr;
  const Key& k = mail() ? MAI_FromKey : MSG_FromKey;
  walkPersonKey(f, k, Str<10>(s.alpha).str(), s.id, [&] {
    ++s.sent;
    s.newest = std::max(s.newest, mail() ? MAI.DATE : MSG.DATE);
    return true;
  });
  return true;
}

namespace {

DupMergeEntry recodeOf(const DupSuspect& s) {
  DupMergeEntry r;
  r.address = s.address;
  r.oldId = s.id;
  r.oldAlpha = s.alpha;
  r.sent = s.sent;
  return r;
}

}  // namespace

void DupRun::Impl::chooseKeepers() {
  keepers.clear();
  recodes.clear();
  for (const DupSuspect& s : suspects) {
    bool owner = mail() && s.id == ownerId;
    if (s.sent == 0 && !owner) {
      recodes.push_back(recodeOf(s));
      continue;
    }
    auto it = keepers.find(s.address);
    if (it == keepers.end()) {
      keepers.emplace(s.address, s);
      continue;
    }
    DupSuspect& keeper = it->second;
    // The mailbox owner is the keeper of its address: its person is never
    // merged away.
    bool keeperOwner = mail() && keeper.id == ownerId;
    bool replace = owner || (!keeperOwner && (keeper.alpha.empty() || (!s.alpha.empty() && keeper.newest < s.newest)));
    if (replace) {
      recodes.push_back(recodeOf(keeper));
      keeper = s;
    } else {
      recodes.push_back(recodeOf(s));
    }
  }
}

void DupRun::Impl::keepersOfUnsentAddresses() {
  std::vector<bool> kept(recodes.size(), false);
  for (size_t i = recodes.size(); i-- > 0;) {
    DupMergeEntry& r = recodes[i];
    auto it = keepers.find(r.address);
    if (it == keepers.end()) {
      // Nobody of the address sent anything: the last of them stays.
      DupSuspect s;
      s.address = r.address;
      s.id = r.oldId;
      s.alpha = r.oldAlpha;
      s.sent = r.sent;
      keepers.emplace(r.address, s);
      kept[i] = true;
      continue;
    }
    r.newId = it->second.id;
    r.newAlpha = it->second.alpha;
  }
  std::vector<DupMergeEntry> left;
  for (size_t i = 0; i < recodes.size(); ++i)
    if (!kept[i]) left.push_back(std::move(recodes[i]));
  recodes = std::move(left);
}

}  // namespace qv
