// What an import run does with the originals its parsers offer: packs them
// for the temporary file beside their records, for the databases that keep
// originals, with the database's dictionary or as samples to train one.
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
  // A newsgroup this run makes keeps originals, as every new one does.
  std::shared_ptr<const OriginalDictionary> dictionary;
  bool keeps = t.created ? t.kind == KindNewsDb : keepsOriginalsIn(t.dirNumber, t.kind, &dictionary);
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
  NHO = ImpOriginalRec();
  NHO.INTERNAL = NHR.INTERNAL;
  NHO.MSGNUMBER = NHR.MSGNUMBER;
  if (!offered) {
    NHO.STATE = OriginalNone;
  } else if (!bytes) {
    NHO.STATE = OriginalTooLong;
  } else if (std::shared_ptr<const OriginalDictionary> d = training_.dictionary(t->id);
             !d && training_.sample(t->id, *bytes)) {
    // One of the samples the database's dictionary is trained on: packed
    // with it when it is posted.
    NHO.STATE = OriginalUnpacked;
    NHO.HASH = originalHash(*bytes);
    NHO.SIZE = uint32_t(bytes->size());
    NHO.PACKING = PackStored;
    NHO.DATA = std::move(*bytes);
  } else {
    PackedOriginal p = packOriginal(*bytes, d.get());
    NHO.STATE = OriginalPacked;
    NHO.HASH = p.hash;
    NHO.SIZE = p.size;
    NHO.PACKING = p.packing;
    NHO.DATA = std::move(p.data);
  }
  if (ImpOriginal.add()) return true;
  Message("Record add error!\r\n" + ErrorText(), ImpOriginal.name(), Icon::Hand);
  writeFailed_ = true;
  return false;
}

}  // namespace qv
