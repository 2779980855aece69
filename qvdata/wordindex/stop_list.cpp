#include "wordindex/stop_list.h"

#include <mutex>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "storage/file_stamp.h"
#include "wordindex/word_cut.h"

namespace qv {

bool loadStopList(StopWords& out) {
  out.clear();
  FileScope scope({FileStopList});
  StopList.setFileOrder();
  while (StopList.next()) out.insert(wordUpper(STO.THEWORD.view()));
  bool ok = ErrorCode() == ErrNone || ErrorCode() == ErrNotAvailable;
  return ok;
}

std::shared_ptr<const StopWords> storedStopList() {
  static std::mutex mutex;
  static std::shared_ptr<const StopWords> cached;
  static std::string cachedStamp;
  std::lock_guard<std::mutex> lock(mutex);
  std::string stamp = storedFileStamp(filePath(FileStopList));
  if (cached && !stamp.empty() && stamp == cachedStamp) return cached;
  auto fresh = std::make_shared<StopWords>();
  bool ok = loadStopList(*fresh);
  // A list that could not be read whole is not kept for the next caller.
  cached = ok ? fresh : nullptr;
  cachedStamp = ok ? stamp : std::string();
  return fresh;
}

namespace {
// The file is open.
bool addOpen(std::string_view word) {
  std::string w = wordUpper(word);
  if (w.empty()) return true;
  STO = StopListRec();
  STO.THEWORD = w;
  if (StopList.get(STO_BY_THEWORD)) return true;
  STO = StopListRec();
  STO.THEWORD = w;
  return StopList.add() || ErrorCode() == ErrDuplicateKey;
}

// Forgets that the move made a stop word; StopMoves is open.
bool forgetMove(const std::string& word) {
  SMV = StopMovesRec();
  SMV.THEWORD = word;
  if (!StopMoves.get(SMV_BY_THEWORD)) return ErrorCode() == ErrNotFound || ErrorCode() == ErrNotAvailable;
  return StopMoves.remove();
}
}  // namespace

bool addStopWord(std::string_view word) {
  FileScope scope({FileStopList});
  bool ok = addOpen(word);
  scope.release();
  // Now the user's word: a full run keeps it on the list.
  if (ok && openStopMoves()) ok = forgetMove(wordUpper(word));
  return ok;
}

bool openStopMoves() {
  std::string path = joinPath({Mem.Net, "CFG", "STOPMOVE.ADF"});
  if (StopMoves.isOpen() && StopMoves.name() == path) return true;
  StopMoves.close();
  StopMoves.setName(path);
  if (StopMoves.open(Share::Shared)) return true;
  if (ErrorCode() == ErrFileNotFound && StopMoves.create()) return StopMoves.open(Share::Shared);
  if (ErrorCode() == ErrBadKeys && StopMoves.buildKeys()) return StopMoves.open(Share::Shared);
  return false;
}

bool moveToStopList(std::string_view word, uint32_t database) {
  std::string w = wordUpper(word);
  STO = StopListRec();
  STO.THEWORD = w;
  if (StopList.get(STO_BY_THEWORD)) return true;  // there already: not the move's
  STO = StopListRec();
  STO.THEWORD = w;
  if (!StopList.add()) return false;
  SMV = StopMovesRec();
  SMV.THEWORD = w;
  SMV.DATABASE = database;
  if (StopMoves.add()) return true;
  if (ErrorCode() != ErrDuplicateKey) return false;
  // A record left from a word since taken off the stop list: this move's now.
  if (!StopMoves.get(SMV_BY_THEWORD)) return false;
  SMV.DATABASE = database;
  return StopMoves.put();
}

std::vector<std::string> movedStopWords(uint32_t database) {
  std::vector<std::string> words;
  if (!openStopMoves()) return words;
  StopMoves.setFileOrder();
  while (StopMoves.next())
    if (SMV.DATABASE == database) words.push_back(SMV.THEWORD.str());
  return words;
}

bool giveBackMovedWords(uint32_t database) {
  std::vector<std::string> words = movedStopWords(database);
  if (words.empty()) return StopMoves.isOpen();
  FileScope scope({FileStopList});
  bool ok = beginTransaction({&StopList, &StopMoves}, 5);
  for (size_t i = 0; ok && i < words.size(); ++i) {
    STO = StopListRec();
    STO.THEWORD = words[i];
    if (StopList.get(STO_BY_THEWORD))
      ok = StopList.remove();
    else
      ok = ErrorCode() == ErrNotFound;
    SMV = StopMovesRec();
    SMV.THEWORD = words[i];
    if (ok && StopMoves.get(SMV_BY_THEWORD)) ok = StopMoves.remove();
  }
  if (ok) ok = commitTransaction();
  if (!ok) rollbackTransaction();
  return ok;
}

bool isStopWord(std::string_view word) {
  FileScope scope({FileStopList});
  STO = StopListRec();
  STO.THEWORD = wordUpper(word);
  bool found = StopList.get(STO_BY_THEWORD);
  return found;
}

}  // namespace qv
