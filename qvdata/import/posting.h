// Posting one temporary import record into the current target database:
// the message or mail, its text, its persons and thread, its whole subject,
// its carbon copies, and the records that keep duplicates out. Everything
// one record changes is written inside the caller's transaction, so that it
// commits with the message or not at all.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

#include "import/import_settings.h"
#include "import/owner.h"
#include "originals/originals_store.h"
#include "storage/fixedstr.h"

namespace qv {

enum PostCode : int { PostDone = 0, PostSkipped = 1, PostFailed = 2 };

struct PostResult {
  int code = PostDone;
  bool countsApply = false;
  uint32_t fromId = 0;
  uint32_t toId = 0;
  uint32_t threadId = 0;
  const char* skipReason = nullptr;  // why a skipped record was skipped (import/skip_reasons.h)
  // A forum or newsgroup message updated in place (reimport): its sender,
  // receiver, thread and section before, so that its counts can move with it.
  bool updated = false;
  // A newsgroup article posted again under the number its Message-ID had
  // (its message had been purged): answers imported meanwhile may name it.
  bool reposted = false;
  uint32_t number = 0;  // the message's number in the database
  int64_t textPosition = 0;  // stored position of the text written for a new message; 0 when none was
  uint32_t oldFromId = 0;
  uint32_t oldToId = 0;
  uint32_t oldThreadId = 0;
  uint32_t oldSectionId = 0;
};

class Poster {
 public:
  Poster(const ImportSettings& settings, int32_t importDate, int32_t importTime);
  // A new target database. For a mailbox, `owner` holds its addresses; the
  // owner's person is resolved again on first use.
  // With `keepOriginals` the original each record carries is written with
  // its message (the database's Originals file is open too); with
  // `dictionary` the database's dictionary is written with the first
  // message posted, and originals waiting unpacked are packed with it.
  void setDatabase(uint32_t databaseId, int kind, const OwnerAddresses* owner, bool keepOriginals = false,
                   std::shared_ptr<const OriginalDictionary> dictionary = nullptr);
  // Posts the record in the NHR buffer. The database's files (and Control,
  // Forums, the message save file and the Subjects file) are open, inside a
  // transaction; for mail, the temporary carbon-copy file is open with its
  // key built.
  PostResult post(uint32_t sectionId);

 private:
  PostResult postForum(uint32_t sectionId, bool news);
  PostResult postMail();
  bool findThread(uint32_t sectionId, const std::string& subject, uint32_t& threadId, Str<10>& alpha);
  // Reads the threads of a section whose heading starts with `alpha` into
  // threads_, once per run.
  void learnThreads(uint32_t sectionId, const Str<10>& alpha);
  static std::string threadKey(uint32_t sectionId, std::string_view alpha, std::string_view beta,
                               std::string_view heading);
  bool person(const std::string& name, const std::string& address, uint32_t& id, std::string& lastName);
  bool writeText(uint32_t number, bool isNew);
  bool addCarbonCopies(uint32_t mailId);
  // Writes the original kept beside the NHR record (ImpOriginal) for
  // message `number`.
  bool storeOriginal(uint32_t number);

  const ImportSettings& settings_;
  int32_t importDate_;
  int32_t importTime_;
  uint32_t database_ = 0;
  int kind_ = 0;
  const OwnerAddresses* owner_ = nullptr;
  bool keepOriginals_ = false;
  std::shared_ptr<const OriginalDictionary> dictionary_;
  HashForm hashForm_ = HashForm::Hex;
  bool dictionaryWritten_ = false;
  uint32_t ownerPerson_ = 0;
  std::string ownerLast_;
  // The threads of the database known to this run, by section, heading
  // fields and whole heading: the first in key order of each. A section's
  // threads of one heading start are read from the file once, so that
  // posting a new thread does not walk all threads of that start again.
  std::unordered_map<std::string, uint32_t> threads_;
  std::set<std::pair<uint32_t, std::string>> learned_;
};

}  // namespace qv
