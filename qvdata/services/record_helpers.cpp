#include "services/record_helpers.h"

#include "services/globals.h"
#include "services/prompt.h"

namespace qv {

namespace {
int queueCode = QueueOk;
std::string queueText;

std::string secondLine() {
  switch (ErrorCode()) {
    case ErrAccessDenied:
    case ErrNotFound:
    case ErrNotAvailable: return "Record not available!";
    case ErrDuplicateKey: return "A record with identical key already exists!";
    default: return ErrorText();
  }
}
}  // namespace

bool UppDat(File& f, int op, int mode) {
  bool ok = false;
  switch (op) {
    case OpAdd: ok = f.add(); break;
    case OpChange: ok = f.put(); break;
    case OpRemove: ok = f.remove(); break;
    case OpAppend: ok = f.append(); break;
    default: setError(ErrOther, f.name(), "unknown record operation"); break;
  }
  if (ok) return true;
  std::string first = op == OpChange ? "Record update error!" : op == OpRemove ? "Record delete error!" : "Record add error!";
  std::string text = first + "\r\n" + secondLine();
  if (mode == ReportShow) {
    if (op == OpChange || op == OpRemove) f.release();
    Message(text, f.name(), Icon::Exclamation);
  } else if (mode == ReportRollback) {
    rollbackTransaction();
    Message(text + "\r\nThe last transaction is rolled back.", f.name(), Icon::Hand);
  }
  return false;
}

bool HoldRec(File& f, const Key* key, bool byKey, int64_t pos) {
  bool found = byKey && key ? f.get(*key) : f.getPosition(pos);
  if (found) found = f.hold(1);
  if (found) return true;
  switch (ErrorCode()) {
    case ErrNotFound:
    case ErrNotAvailable:
      Message("The record has been deleted by another user!\r\n                   Update is cancelled!", f.name(),
              Icon::Exclamation);
      break;
    case ErrHeld:
      Message("The record is locked by another user!\r\nUpdate is cancelled, try again later!",
              "The record is not accessible!", Icon::Exclamation);
      break;
    default:
      Message("               The record cannot be read!\r\nUpdate is cancelled, try again later!",
              "The record is not accessible!", Icon::Exclamation);
      break;
  }
  return false;
}

bool SaveRec(File& f, int64_t pos, const RecordImage& original, int op, const std::function<void()>& refresh) {
  RecordImage edited = saveRecord(f.decl());
  if (!HoldRec(f, nullptr, false, pos)) return false;
  RecordImage stored = saveRecord(f.decl());
  if (!sameRecord(f.decl(), stored, original)) {
    Message("The record has just been changed by another user!\r\nTry again!", "Warning!", Icon::Exclamation);
    if (refresh) refresh();
    f.release();
    return false;
  }
  restoreRecord(f.decl(), edited);
  bool ok = UppDat(f, op, ReportShow);
  if (ok) f.release();
  if (refresh) refresh();
  return ok;
}

void setQueueError(int code, const std::string& text) {
  queueCode = code;
  queueText = text;
}

bool QError(int mode) {
  if (queueCode == QueueOk || queueCode == QueueNotFound) return false;
  std::string detail = queueCode == QueueNoMemory        ? "Insufficient memory!"
                       : queueCode == QueueBadDescriptor ? "Invalid field type descriptor!"
                                                         : queueText;
  bool fatalCase = queueCode == QueueNoMemory || queueCode == QueueBadDescriptor;
  if (mode == ReportShow) {
    Message("Queue access error\r\n" + detail, fatalCase ? "Fatal error!" : "Warning!", Icon::Hand);
  } else if (mode == ReportRollback) {
    rollbackTransaction();
    Message("Queue access error\r\n" + detail + "\r\nThe last transaction is rolled back.", "Fatal error",
            Icon::Hand);
  }
  return true;
}

bool TransactionCheck() {
  if (ErrorCode() == ErrNone) return false;
  Message(ErrorText() + "\r\nTransaction Frame Error!\r\n", "Warning!", Icon::Exclamation);
  rollbackTransaction();
  return true;
}

bool BeginTransaction(std::initializer_list<File*> files, int timeoutSeconds, int mode) {
  if (beginTransaction(std::vector<File*>(files), timeoutSeconds)) return true;
  if (mode == ReportShow || mode == ReportRollback)
    Message(ErrorText() + "\r\nThe transaction could not be started.", files.size() ? (*files.begin())->name() : "",
            Icon::Exclamation);
  return false;
}

}  // namespace qv
