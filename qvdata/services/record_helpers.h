// Adding, changing, deleting and holding records with the failure reports
// every procedure shares.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "storage/file.h"

namespace qv {

enum RecordOp : int { OpAdd = 1, OpChange = 2, OpRemove = 3, OpAppend = 4 };

// Report modes: 7 shows the failure; 8 also rolls the current transaction
// back and says so; other modes show nothing. Nothing is shown when unattended.
enum ReportMode : int { ReportQuiet = 0, ReportShow = 7, ReportRollback = 8 };

// Performs the operation on the record in the buffer; false on failure.
bool UppDat(File& f, int op, int mode);

// Holds the record for change (waiting at most a second) and reads it: by the
// key's value in the buffer when byKey is set, else at `pos`.
bool HoldRec(File& f, const Key* key, bool byKey, int64_t pos = 0);

// Writes back a record edited from a browse list. `original` is the record
// as it was when editing began; the buffer holds the edited record. When the
// stored record has changed meanwhile, the user is warned and the buffer is
// left holding the stored record. `refresh` updates the list entry.
bool SaveRec(File& f, int64_t pos, const RecordImage& original, int op, const std::function<void()>& refresh);

// In-memory list errors, set by the lists' operations and checked by QError.
enum QueueErr : int { QueueOk = 0, QueueNotFound = 1, QueueNoMemory = 2, QueueBadDescriptor = 3, QueueOther = 4 };
void setQueueError(int code, const std::string& text = {});
bool QError(int mode);

// After a commit: reports a failed commit, rolls the transaction back and
// returns true; false when the commit went through.
bool TransactionCheck();

// Begins a transaction over the files or reports why it could not (mode 7/8).
bool BeginTransaction(std::initializer_list<File*> files, int timeoutSeconds, int mode = ReportShow);

}  // namespace qv
