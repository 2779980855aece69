#include "services/dbref.h"

#include "dictionary/dictionary.h"
#include "services/db_kind.h"
#include "services/record_helpers.h"

namespace qv {

bool UpdREF(int mode) {
  DbRefRec want;
  want.TYPE = FOR.TYPE;
  want.DESCRIPTION = FOR.DESCRIPTION;
  if (FOR.TYPE == KindMailDb) {
    want.PERSONID = int32_t(FOR.PERSONID);
    want.MAILADDRESS = FOR.MAILADDRESS;
    for (size_t i = 0; i < FOR.ALTADDRESS.size() && !FOR.ALTADDRESS[i].blank(); ++i)
      want.ALTADDRESS[i] = FOR.ALTADDRESS[i];
  }
  DbRef.setFileOrder();
  if (!DbRef.next()) {
    REF = want;
    return UppDat(DbRef, OpAdd, mode);
  }
  RecordImage stored = saveRecord(DbRef.decl());
  REF = want;
  if (sameRecord(DbRef.decl(), stored, saveRecord(DbRef.decl()))) return true;
  return UppDat(DbRef, OpChange, mode);
}

}  // namespace qv
