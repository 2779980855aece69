// Status codes of the DBF table engine: negative numbers are errors, 201 to 214
// are conditions that the operation layer treats as success.
#pragma once

namespace dbf {

enum EngineStatus : int {
  StatusOk = 0,
  // Conditions (not errors).
  CondDeleted = 201,       // the record is marked deleted
  CondTruncated = 205,     // a text was cut to its field
  CondBlank = 212,         // the field is blank
  CondFirst = 201,
  CondLast = 214,
  ErrFileWriteFailure = -201,
  ErrFileReadFailure = -202,
  ErrNoMemory = -203,
  ErrSeekFailed = -204,
  ErrFileNotFound = -205,
  ErrFileCorrupted = -206,
  ErrBadUserSpecifiedKeyExpression = -207,
  ErrNoHandlesAvailable = -208,
  ErrNoIndexPagesLoaded = -209,
  ErrIndexPageWasNotLoaded = -210,
  ErrFileCloseFailure = -211,
  ErrInvalidCommand = -212,
  ErrInvalidHandleNumber = -213,
  ErrInvalidFilename = -214,
  ErrInvalidDate = -215,
  ErrInvalidTime = -216,
  ErrFileNotInMemoFormat = -217,
  ErrInvalidVersion = -218,
  ErrFileHeaderLengthError = -219,
  ErrLastFileChangeDateInError = -220,
  ErrParameterAddressNull = -221,
  ErrInvalidKeyType = -222,
  ErrInvalidKeyLength = -223,
  ErrItemLengthIncorrect = -224,
  ErrInvalidRootPage = -225,
  ErrBadMaximumNumberOfKeysPerPage = -226,
  ErrInvalidNumberOfFields = -227,
  ErrFieldNameInvalid = -228,
  ErrBadFieldLength = -229,
  ErrDecimalPlacesParameterInvalid = -230,
  ErrInvalidFieldType = -231,
  ErrInvalidRecordLength = -232,
  ErrBadData = -233,
  ErrMemoSoftLineLengthInvalid = -234,
  ErrMdxFlagInDbfFileInvalid = -235,
  ErrFileOpenForReadingOnly = -236,
  ErrFileLockingViolation = -237,
  ErrSharingBufferOverflow = -238,
  ErrPathNotFound = -239,
  ErrAccessToFileDenied = -240,
  ErrInvalidAccessCode = -241,
  ErrFileMustBeLockedFirst = -242,
  ErrDisketteChanged = -243,
  ErrBadMinimumNumberOfKeysPerPage = -244,
  ErrSomeFilesRemainOpen = -245,
  ErrCouldNotOpenTheFile = -246,
  ErrFlushToDiskFailure = -247,
  ErrInvalidTagHandle = -248,
  ErrInvalidPageSizeInBlocks = -249,
  ErrInvalidTagName = -250,
  ErrInvalidPageOffsetAdder = -251,
  ErrBadMaxTagElements = -252,
  ErrBadTagTableElementLength = -253,
  ErrInvalidTagCount = -254,
  ErrUnknownKeyFormatSwitches = -255,
  ErrUnknownSwitchError = -256,
  ErrTagInUse = -257,
  ErrGlobalLock = -258,
  ErrTaskLookup = -259,
  ErrInternalLockBufferOverflow = -260,
  ErrInternalLockBufferUnderflow = -261,
  ErrLockConflict = -279,
};

// The engine's own text of a status ("" when it has none).
const char* statusText(int status);
// The file-layer error number that an engine error maps to (the public
// numbering of the driver's interface); conditions and 0 give 0, any other
// code passes through unchanged.
int fileLayerNumber(int status);
inline bool isCondition(int status) { return status >= CondFirst && status <= CondLast; }

}  // namespace dbf
