#include "table/engine_status.h"

namespace dbf {
namespace {

struct StatusEntry {
  int status;
  const char* text;
  int fileLayer;
};

constexpr StatusEntry kStatuses[] = {
    {ErrFileWriteFailure, "file write failure", 5},
    {ErrFileReadFailure, "file read failure", 5},
    {ErrNoMemory, "memory allocation error", 8},
    {ErrSeekFailed, "file pointer reposition failed", 35},
    {ErrFileNotFound, "file not found", 2},
    {ErrFileCorrupted, "file corrupted", 38},
    {ErrBadUserSpecifiedKeyExpression, "bad user specified key expression", 47},
    {ErrNoHandlesAvailable, "no handles available", 4},
    {ErrNoIndexPagesLoaded, "no index pages loaded", 90},
    {ErrIndexPageWasNotLoaded, "index page was not loaded", 90},
    {ErrFileCloseFailure, "file close failure", 90},
    {ErrInvalidCommand, "invalid command", 90},
    {ErrInvalidHandleNumber, "invalid handle number", 90},
    {ErrInvalidFilename, "invalid filename", 45},
    {ErrInvalidDate, "invalid date", 90},
    {ErrInvalidTime, "invalid time", 90},
    {ErrFileNotInMemoFormat, "file not in memo format", 57},
    {ErrInvalidVersion, "invalid dBaseIII version", 36},
    {ErrFileHeaderLengthError, "file header length error", 53},
    {ErrLastFileChangeDateInError, "last file change date in error", 53},
    {ErrParameterAddressNull, "parameter address NULL", 90},
    {ErrInvalidKeyType, "invalid key type", 47},
    {ErrInvalidKeyLength, "invalid key length", 47},
    {ErrItemLengthIncorrect, "item length incorrect", 47},
    {ErrInvalidRootPage, "invalid root page", 38},
    {ErrBadMaximumNumberOfKeysPerPage, "bad maximum number of keys per page", 38},
    {ErrInvalidNumberOfFields, "invalid number of fields", 47},
    {ErrFieldNameInvalid, "field name invalid", 47},
    {ErrBadFieldLength, "bad field length", 47},
    {ErrDecimalPlacesParameterInvalid, "decimal places parameter invalid", 75},
    {ErrInvalidFieldType, "invalid field type", 75},
    {ErrInvalidRecordLength, "invalid record length", 47},
    {ErrBadData, "bad data", 90},
    {ErrMemoSoftLineLengthInvalid, "memo soft line length invalid", 90},
    {ErrMdxFlagInDbfFileInvalid, "MDX flag in DBF file invalid", 36},
    {ErrFileOpenForReadingOnly, "file open for reading only", 5},
    {ErrFileLockingViolation, "file locking violation", 32},
    {ErrSharingBufferOverflow, "sharing buffer overflow", 332},
    {ErrPathNotFound, "path not found", 3},
    {ErrAccessToFileDenied, "access to file denied", 5},
    {ErrInvalidAccessCode, "invalid access code", 5},
    {ErrFileMustBeLockedFirst, "file must be locked first", 63},
    {ErrDisketteChanged, "diskette changed", 317},
    {ErrBadMinimumNumberOfKeysPerPage, "bad minimum number of keys per page", 90},
    {ErrSomeFilesRemainOpen, "some files remain open", 90},
    {ErrCouldNotOpenTheFile, "could not open the file", 5},
    {ErrFlushToDiskFailure, "flush to disk failure", 90},
    {ErrInvalidTagHandle, "invalid tag handle", 47},
    {ErrInvalidPageSizeInBlocks, "invalid page size in blocks", 90},
    {ErrInvalidTagName, "invalid tag name", 46},
    {ErrInvalidPageOffsetAdder, "invalid page offset adder", 90},
    {ErrBadMaxTagElements, "inv. max number of tag table elements", 90},
    {ErrBadTagTableElementLength, "bad tag table element length", 90},
    {ErrInvalidTagCount, "invalid tag count", 90},
    {ErrUnknownKeyFormatSwitches, "unknown key format switches", 90},
    {ErrUnknownSwitchError, "unknown switch error", 90},
    {ErrTagInUse, "tag in use", 90},
    {ErrGlobalLock, "Windows GlobalLock error", 90},
    {ErrTaskLookup, "Windows Task lookup Failed", 90},
    {ErrInternalLockBufferOverflow, "internal lock buffer overflow", 90},
    {ErrInternalLockBufferUnderflow, "internal lock buffer underflow", 90},
    {ErrLockConflict, "", 32},
};

const StatusEntry* find(int status) {
  for (const auto& e : kStatuses)
    if (e.status == status) return &e;
  return nullptr;
}

}  // namespace

const char* statusText(int status) {
  const StatusEntry* e = find(status);
  return e ? e->text : "";
}

int fileLayerNumber(int status) {
  if (status == StatusOk || isCondition(status)) return 0;
  const StatusEntry* e = find(status);
  return e ? e->fileLayer : status;
}

}  // namespace dbf
