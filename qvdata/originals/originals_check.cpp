// The check of a database's originals against its messages.
#include <map>
#include <set>

#include "dictionary/database_files.h"
#include "dictionary/file_numbers.h"
#include "originals/originals_store.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "storage/errors.h"

namespace qv {

namespace {

std::set<uint32_t> messageIds(int kind) {
  std::set<uint32_t> ids;
  if (kind == KindMailDb) {
    Mail.setFileOrder();
    while (Mail.next()) ids.insert(MAI.MAILID);
  } else {
    MsgNmbr.setFileOrder();
    while (MsgNmbr.next()) ids.insert(MSG.MSGNUMBER);
  }
  return ids;
}

// The dictionaries of the open Originals file by ID (null: damaged), read
// by their key before the walk in file order; a damaged one is reported.
std::map<uint32_t, std::shared_ptr<const OriginalDictionary>> dictionaries(std::vector<std::string>& faults) {
  std::map<uint32_t, std::shared_ptr<const OriginalDictionary>> found;
  ORI = OriginalsRec();
  ORI.HASH = kDictionaryRowPrefix;
  Originals.set(ORI_IdKey, ORI_IdKey);
  while (Originals.next() && ORI.MSGID == 0 && isDictionaryRow(ORI.HASH.view())) {
    uint32_t id = dictionaryRowId(ORI.HASH.view());
    std::shared_ptr<const OriginalDictionary> d;
    if (ORI.DATA.size() == ORI.SIZE) d = OriginalDictionary::fromBytes(ORI.DATA);
    if (!d || d->id() != id) {
      faults.push_back("the " + ORI.HASH.str() + " is damaged");
      d.reset();
    }
    found[id] = d;
  }
  ORI.DATA.clear();
  return found;
}

}  // namespace

std::vector<std::string> checkOriginals(int kind) {
  std::vector<std::string> faults;
  if (kind != KindMailDb && kind != KindNewsDb) return faults;
  const char* what = kind == KindMailDb ? "mail" : "article";
  std::set<uint32_t> messages = messageIds(kind);
  bool keeps = false;
  // Hashes as the file names them (either form).
  std::map<uint32_t, std::string> rows;      // message -> content hash
  std::map<std::string, std::pair<uint32_t, uint32_t>> contents;  // hash -> (REFS, message rows naming it)
  if (originalsOpenForReading()) {
    auto dicts = dictionaries(faults);
    Originals.setFileOrder();
    while (Originals.next()) {
      std::string hash = ORI.HASH.str();
      if (ORI.MSGID == 0 && hash.empty()) {
        keeps = ORI.SIZE == kOriginalsKept;
        continue;
      }
      if (ORI.MSGID == 0 && isDictionaryRow(hash)) continue;
      if (ORI.MSGID != 0) {
        rows[ORI.MSGID] = hash;  // blank: the source held none
        continue;
      }
      contents.emplace(hash, std::make_pair(ORI.REFS, 0u));
      std::string hex = hashOfStored(hash);
      const OriginalDictionary* dictionary = nullptr;
      if (ORI.PACKING == PackZstdDictionary) {
        uint32_t id = frameDictionaryId(ORI.DATA);
        auto d = dicts.find(id);
        if (d == dicts.end() || !d->second) {
          faults.push_back("the content " + hex + " is packed with the " + dictionaryRowName(id) + ", which is " +
                           (d == dicts.end() ? "missing" : "damaged"));
          continue;
        }
        dictionary = d->second.get();
      }
      std::string bytes;
      if (!unpackBytes(ORI.DATA, ORI.PACKING, ORI.SIZE, bytes, dictionary) || originalHash(bytes) != hex)
        faults.push_back("the content " + hex + " is damaged");
    }
    ORI.DATA.clear();
  } else if (originalsFileExists()) {
    // What cannot be read is never reported as sound.
    faults.push_back("the originals file " + filePath(FileOriginals) + " cannot be read: " + ErrorText());
  }
  for (const auto& [id, hash] : rows) {
    if (!messages.count(id)) faults.push_back("the original of " + std::string(what) + " " + std::to_string(id) +
                                              " belongs to no " + what + " of the database");
    if (hash.empty()) continue;
    auto c = contents.find(hash);
    if (c == contents.end())
      faults.push_back("the original of " + std::string(what) + " " + std::to_string(id) + " has no content");
    else
      ++c->second.second;
  }
  for (const auto& [hash, counts] : contents) {
    if (counts.second == 0)
      faults.push_back("the content " + hashOfStored(hash) + " belongs to no " + what);
    else if (counts.first != counts.second)
      faults.push_back("the content " + hashOfStored(hash) + " counts " + std::to_string(counts.first) + " " + what +
                       "s, but " + std::to_string(counts.second) + " name it");
  }
  if (keeps)
    for (uint32_t id : messages)
      if (!rows.count(id)) faults.push_back(std::string(what) + " " + std::to_string(id) + " has no original");
  return faults;
}

}  // namespace qv
