// What an import run does with the originals its parsers offer: packs them
// for the temporary file beside their records, for the databases that keep
// originals, with the database's dictionary or as samples to train one.
#include <exception>

#include "dictionary/temp_files.h"
#include "import/import_run.h"
#include "originals/originals_store.h"
#include "services/db_kind.h"
#include "services/prompt.h"
#include "storage/errors.h"

namespace qv {

void ImportRun::offerOriginal(std::optional<std::string> bytes) {
  offered_ = true;
  offeredBytes_ = std::move(bytes);
}

bool ImportRun::targetKeepsOriginals(const Target& t) {
  if (t.kind != KindMailDb && t.kind != KindNewsDb) return false;
  auto known = keepsOriginals_.find(t.id);
  if (known != keepsOriginals_.end()) return known->second;
  // A newsgroup this run makes keeps originals, as every new one does, and
  // so does one a stopped run made that has no article yet.
  std::shared_ptr<const OriginalDictionary> dictionary;
  bool keeps = t.created ? t.kind == KindNewsDb : keepsOriginalsIn(t.dirNumber, t.kind, &dictionary);
  if (!keeps && !t.created && t.kind == KindNewsDb) keeps = newNewsgroupIn(t.dirNumber);
  keepsOriginals_[t.id] = keeps;
  training_.known(t.id, dictionary);
  return keeps;
}

bool ImportRun::emitOriginal() {
  bool offered = offered_;
  std::optional<std::string> bytes = std::move(offeredBytes_);
  offered_ = false;
  offeredBytes_.reset();
  Target* t = targets_.findId(NHR.INTERNAL);
  if (!t || !targetKeepsOriginals(*t)) return true;
  // The bytes are hashed and packed on the packing thread while the parser
  // reads on; their records follow in the order the messages came.
  PackItem item;
  item.tag = uint64_t(NHR.INTERNAL) << 32 | NHR.MSGNUMBER;
  if (!offered) {
    item.mark = OriginalNone;
  } else if (!bytes) {
    item.mark = OriginalTooLong;
  } else if (std::shared_ptr<const OriginalDictionary> d = training_.dictionary(t->id);
             !d && training_.sample(t->id, *bytes)) {
    // One of the samples the database's dictionary is trained on: packed
    // with it when it is posted.
    item.mark = OriginalUnpacked;
    item.work = PackWork::Hash;
    item.bytes = std::move(*bytes);
  } else {
    item.mark = OriginalPacked;
    item.work = PackWork::Pack;
    item.dictionary = std::move(d);
    item.bytes = std::move(*bytes);
  }
  packing_.put(std::move(item));
  return takePackedOriginals(false);
}

bool ImportRun::takePackedOriginals(bool all) {
  PackItem item;
  for (;;) {
    try {
      if (!packing_.take(item, all)) break;
    } catch (const std::exception& e) {
      // The packing thread failed (no memory for a large original): the run
      // stops before it posts, and the archive stays as it was.
      Message("Original packing error!\r\n" + std::string(e.what()), ImpOriginal.name(), Icon::Hand);
      writeFailed_ = true;
      packingFailed_ = true;
      return false;
    }
    NHO = ImpOriginalRec();
    NHO.INTERNAL = uint32_t(item.tag >> 32);
    NHO.MSGNUMBER = uint32_t(item.tag);
    NHO.STATE = uint8_t(item.mark);
    if (item.work != PackWork::Nothing) {
      NHO.HASH = item.packed.hash;
      NHO.SIZE = item.packed.size;
      NHO.PACKING = item.packed.packing;
      NHO.DATA = std::move(item.packed.data);
    }
    if (!ImpOriginal.add()) {
      Message("Record add error!\r\n" + ErrorText(), ImpOriginal.name(), Icon::Hand);
      writeFailed_ = true;
      return false;
    }
  }
  return true;
}

}  // namespace qv
