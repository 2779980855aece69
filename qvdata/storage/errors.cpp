#include "storage/errors.h"

namespace qv {

namespace {
struct LastError {
  int code = ErrNone;
  std::string text;
  std::string file;
};
thread_local LastError last;
}  // namespace

int ErrorCode() { return last.code; }
const std::string& ErrorText() { return last.text; }
const std::string& ErrorFile() { return last.file; }

const char* errorMessage(int code) {
  switch (code) {
    case ErrNone: return "";
    case ErrNotFound: return "Record Not Found";
    case ErrNotAvailable: return "Record Not Available";
    case ErrHeld: return "Record Is Already Held";
    case ErrAccessDenied: return "Access Denied";
    case ErrDuplicateKey: return "Creates Duplicate Key";
    case ErrFileNotFound: return "File Not Found";
    case ErrPathNotFound: return "Path Not Found";
    case ErrInvalidFileName: return "Invalid File Name";
    case ErrBadKeys: return "Keys Must Be Rebuilt";
    case ErrLayout: return "Invalid Record Declaration";
    case ErrKeyBuilt: return "Key Already Built";
    case ErrNotOpen: return "File Not Open";
    case ErrNotSupported: return "Operation Not Supported By Driver";
    case ErrTransaction: return "Transaction Error";
    case ErrDiskFull: return "Disk Full";
    case ErrInvalidOption: return "Invalid Driver Option";
    case ErrInterrupted: return "Left By An Interrupted Job";
    default: return "File System Error";
  }
}

void setError(Err code, const std::string& file, const std::string& detail) {
  last.code = code;
  last.file = file;
  last.text = errorMessage(code);
  if (!detail.empty()) {
    if (code == ErrOther)
      last.text = detail;
    else
      last.text += " (" + detail + ")";
  }
}

void clearError() {
  last.code = ErrNone;
  last.text.clear();
  last.file.clear();
}

}  // namespace qv
