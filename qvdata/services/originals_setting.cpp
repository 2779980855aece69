// The keep-originals setting of a database, in the settings row of its
// Originals file.
#include "services/originals_setting.h"

#include <filesystem>

#include "dictionary/database_files.h"
#include "dictionary/file_numbers.h"
#include "services/db_kind.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/record_helpers.h"
#include "storage/errors.h"

namespace fs = std::filesystem;

namespace qv {

bool originalsKeptKind(int kind) { return kind == KindMailDb || kind == KindNewsDb; }

bool originalsSettingsRow() {
  ORI = OriginalsRec();
  return Originals.get(ORI_IdKey);
}

HashForm originalsHashForm() {
  // A file that holds nothing yet names its contents by their bytes (its
  // settings row is written so); one that does keeps naming them as it did.
  if (originalsSettingsRow()) return ORI.PACKING == uint8_t(HashForm::Bytes) ? HashForm::Bytes : HashForm::Hex;
  return Originals.hasRecords() ? HashForm::Hex : HashForm::Bytes;
}

bool originalsFileExists() {
  std::error_code ec;
  return fs::exists(filePath(FileOriginals), ec);
}

bool setKeepOriginals(int kind, bool on, int reportMode) {
  if (!originalsKeptKind(kind)) return false;
  if (!on && !originalsFileExists()) return true;
  if (useCount(FileOriginals) > 0 && Originals.name() != filePath(FileOriginals)) {
    setError(ErrAccessDenied, filePath(FileOriginals), "the originals of another database are in use");
    return false;
  }
  FileScope files({FileOriginals});
  return writeKeepSetting(on, reportMode);
}

bool writeKeepSetting(bool on, int reportMode) {
  if (originalsSettingsRow()) {
    ORI.SIZE = on ? kOriginalsKept : 0;
    return UppDat(Originals, OpChange, reportMode);
  }
  HashForm form = originalsHashForm();
  ORI = OriginalsRec();
  ORI.SIZE = on ? kOriginalsKept : 0;
  ORI.PACKING = uint8_t(form);
  return UppDat(Originals, OpAdd, reportMode);
}

}  // namespace qv
