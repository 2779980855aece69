#include "originals/originals_store.h"

#include <filesystem>
#include <map>
#include <utility>

#include "dictionary/database_files.h"
#include "dictionary/file_numbers.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/record_helpers.h"
#include "storage/errors.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

// The bytes of a SHA-256.
constexpr size_t kHashBytes = 32;

// The dictionaries read from the Originals file that is open, by ID: a
// dictionary is some 100 KB, read once rather than with every original.
struct DictionaryCache {
  std::string file;
  std::map<uint32_t, std::shared_ptr<const OriginalDictionary>> byId;
};

DictionaryCache& dictionaryCache() {
  static DictionaryCache cache;
  return cache;
}

}  // namespace

bool originalsOpenForReading() {
  std::string path = filePath(FileOriginals);
  if (Originals.isOpen() && Originals.name() == path) return true;
  if (useCount(FileOriginals) > 0) return false;
  std::error_code ec;
  if (!fs::exists(path, ec)) return false;
  Originals.close();
  Originals.setName(path);
  dictionaryCache().byId.clear();
  // A journal left by a killed writer is rolled back by the open where the
  // file may be written (else the open fails, ErrInterrupted), so that a
  // database keeping originals is never taken for one that keeps none.
  return Originals.open(Share::ReadOnly);
}

namespace {

// The message row of `messageId` into ORI (its HASH blank when the source
// held no original); false when it has none.
bool messageRow(uint32_t messageId) {
  if (messageId == 0) return false;
  ORI = OriginalsRec();
  ORI.MSGID = messageId;
  Originals.setPrefix(ORI_IdKey, 1);
  return Originals.next() && ORI.MSGID == messageId;
}

// The content row of `hash` into ORI; false when there is none.
bool contentRow(const std::string& hash) {
  ORI = OriginalsRec();
  ORI.MSGID = 0;
  ORI.HASH = hash;
  return Originals.get(ORI_IdKey);
}

}  // namespace

std::string storedHash(std::string_view hex, HashForm form) {
  if (form == HashForm::Hex || hex.size() != 2 * kHashBytes) return std::string(hex);
  auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  std::string bytes(kHashBytes, '\0');
  for (size_t i = 0; i < kHashBytes; ++i) bytes[i] = char(digit(hex[2 * i]) << 4 | digit(hex[2 * i + 1]));
  return bytes;
}

std::string hashOfStored(std::string_view stored) {
  if (stored.empty() || stored.size() > kHashBytes) return std::string(stored);
  // The field gives its text without trailing blanks: of 32 bytes, the
  // blanks they ended in.
  std::string bytes(stored);
  bytes.resize(kHashBytes, ' ');
  return hexDigits(bytes);
}

bool keepsOriginals(int kind) {
  if (!originalsKeptKind(kind) || !originalsOpenForReading()) return false;
  return originalsSettingsRow() && ORI.SIZE == kOriginalsKept;
}

std::shared_ptr<const OriginalDictionary> storedDictionary(uint32_t id) {
  DictionaryCache& cache = dictionaryCache();
  if (cache.file != Originals.name()) {
    cache.byId.clear();
    cache.file = Originals.name();
  }
  auto known = cache.byId.find(id);
  if (known != cache.byId.end()) return known->second;
  if (!contentRow(dictionaryRowName(id))) return nullptr;
  std::string bytes = std::move(ORI.DATA);
  ORI.DATA.clear();
  if (bytes.size() != ORI.SIZE) return nullptr;
  std::shared_ptr<const OriginalDictionary> d = OriginalDictionary::fromBytes(std::move(bytes));
  if (d && d->id() == id) cache.byId[id] = d;
  return d && d->id() == id ? d : nullptr;
}

std::shared_ptr<const OriginalDictionary> databaseDictionary() {
  if (!originalsOpenForReading()) return nullptr;
  ORI = OriginalsRec();
  ORI.MSGID = 0;
  ORI.HASH = kDictionaryRowPrefix;
  Originals.set(ORI_IdKey, ORI_IdKey);
  if (!Originals.next() || ORI.MSGID != 0 || !isDictionaryRow(ORI.HASH.view())) return nullptr;
  uint32_t id = dictionaryRowId(ORI.HASH.view());
  ORI.DATA.clear();
  return id == 0 ? nullptr : storedDictionary(id);
}

std::optional<std::string> readOriginal(int kind, uint32_t messageId, std::string* damage) {
  if (damage) damage->clear();
  if (!originalsKeptKind(kind)) return std::nullopt;
  if (!originalsOpenForReading()) {
    // A file that is there but cannot be read is no file without originals.
    if (damage && useCount(FileOriginals) == 0 && originalsFileExists())
      *damage = "the originals file " + filePath(FileOriginals) + " cannot be read: " + ErrorText();
    return std::nullopt;
  }
  if (!messageRow(messageId) || ORI.HASH.blank()) return std::nullopt;
  std::string hash = ORI.HASH.str();
  auto damaged = [&](const std::string& what) {
    if (damage) *damage = what;
    setError(ErrOther, Originals.name(), what);
    return std::nullopt;
  };
  if (!contentRow(hash)) return damaged("the content of the original of " + std::to_string(messageId) + " is missing");
  std::string data = std::move(ORI.DATA);
  ORI.DATA.clear();
  int packing = ORI.PACKING;
  uint32_t size = ORI.SIZE;
  std::shared_ptr<const OriginalDictionary> dictionary;
  if (packing == PackZstdDictionary) {
    uint32_t id = frameDictionaryId(data);
    dictionary = storedDictionary(id);
    if (!dictionary)
      return damaged("the original of " + std::to_string(messageId) + " is packed with the dictionary " +
                     std::to_string(id) + ", which is missing or damaged");
  }
  std::string bytes;
  if (!unpackBytes(data, packing, size, bytes, dictionary.get()) || originalHash(bytes) != hashOfStored(hash))
    return damaged("the original of " + std::to_string(messageId) + " is damaged");
  return bytes;
}

bool keepsOriginalsIn(uint32_t dirNumber, int kind, std::shared_ptr<const OriginalDictionary>* dictionary) {
  if (dictionary) dictionary->reset();
  if (useCount(FileOriginals) > 0) return false;
  std::string saved = Mem.Dirnamn;
  Mem.Dirnamn = "F" + std::to_string(dirNumber);
  bool keeps = keepsOriginals(kind);
  if (keeps && dictionary) *dictionary = databaseDictionary();
  Originals.close();
  Mem.Dirnamn = saved;
  return keeps;
}

bool newNewsgroupIn(uint32_t dirNumber) {
  if (useCount(FileOriginals) > 0) return false;
  std::string saved = Mem.Dirnamn;
  Mem.Dirnamn = "F" + std::to_string(dirNumber);
  bool unset = !originalsOpenForReading() ? !originalsFileExists() : !originalsSettingsRow();
  Originals.close();
  bool isNew = false;
  std::error_code ec;
  std::string messages = filePath(FileMsgNmbr);
  if (unset && !fs::exists(messages, ec)) {
    isNew = true;
  } else if (unset) {
    // Read through a File of its own: the message file's buffer and the
    // procedures' use of it stay as they are.
    File probe(MsgNmbr.decl());
    probe.setName(messages);
    isNew = probe.open(Share::ReadOnly) && !probe.hasRecords() && ErrorCode() == ErrNone;
  }
  Mem.Dirnamn = saved;
  return isNew;
}

bool writeOriginal(uint32_t messageId, const PackedOriginal& original, int reportMode) {
  return writeOriginal(messageId, original, originalsHashForm(), reportMode);
}

bool writeOriginal(uint32_t messageId, const PackedOriginal& original, HashForm form, int reportMode) {
  if (messageId == 0) return true;
  if (original.size > kOriginalMaxBytes || original.data.size() > kOriginalMaxBytes) return true;
  std::string hash = storedHash(original.hash, form);
  if (messageRow(messageId)) {
    if (ORI.HASH == hash) return true;
    if (!removeOriginal(messageId, reportMode)) return false;
  }
  if (original.hash.empty()) return markNoOriginal(messageId, reportMode);
  if (contentRow(hash)) {
    ++ORI.REFS;
    if (!UppDat(Originals, OpChange, reportMode)) return false;
  } else {
    ORI = OriginalsRec();
    ORI.HASH = hash;
    ORI.SIZE = original.size;
    ORI.PACKING = original.packing;
    ORI.REFS = 1;
    ORI.DATA = original.data;
    if (!UppDat(Originals, OpAdd, reportMode)) return false;
  }
  ORI = OriginalsRec();
  ORI.MSGID = messageId;
  ORI.HASH = hash;
  ORI.SIZE = original.size;
  ORI.PACKING = original.packing;
  return UppDat(Originals, OpAdd, reportMode);
}

bool writeDictionary(const OriginalDictionary& dictionary, int reportMode) {
  if (contentRow(dictionaryRowName(dictionary.id()))) {
    ORI.DATA.clear();
    return true;
  }
  ORI = OriginalsRec();
  ORI.HASH = dictionaryRowName(dictionary.id());
  ORI.SIZE = uint32_t(dictionary.bytes().size());
  ORI.PACKING = PackStored;
  ORI.DATA = dictionary.bytes();
  return UppDat(Originals, OpAdd, reportMode);
}

bool markNoOriginal(uint32_t messageId, int reportMode) {
  if (messageId == 0) return true;
  if (messageRow(messageId)) {
    if (ORI.HASH.blank()) return true;
    if (!removeOriginal(messageId, reportMode)) return false;
  }
  ORI = OriginalsRec();
  ORI.MSGID = messageId;
  return UppDat(Originals, OpAdd, reportMode);
}

bool removeOriginal(uint32_t messageId, int reportMode) {
  if (!messageRow(messageId)) return true;
  std::string hash = ORI.HASH.str();
  if (!UppDat(Originals, OpRemove, reportMode)) return false;
  if (hash.empty() || !contentRow(hash)) return true;
  if (ORI.REFS > 1) {
    --ORI.REFS;
    return UppDat(Originals, OpChange, reportMode);
  }
  return UppDat(Originals, OpRemove, reportMode);
}

}  // namespace qv
