// The dispatcher FOXPRO and the registration record "Fox$DrvReg".
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "driver/ops.h"
#include "driver/host.h"

namespace {

using dbf::FileBlock;
using dbf::OpArgs;

constexpr uint32_t kMaxFieldLength = 254;
constexpr uint32_t kMaxRecords = 4294967295u;
// Sizes of the per-file, per-field, per-key and per-memo blocks the file
// layer sets aside for the driver.
constexpr uint16_t kFileBlockSize = 160, kFieldBlockSize = 62, kKeyBlockSize = 68, kMemoBlockSize = 37;

// Operation codes that the file layer may send but that have no effect.
bool noEffect(int op) { return op == dbf::OpNoEffect || (op >= 71 && op <= 74); }

int position(FileBlock& b, OpArgs& a, bool asText) {
  if (!b.current) return dbf::layerError(b, dbf::LayerEnd);
  a.number = b.current;
  a.answer = asText ? std::to_string(b.current) : std::string();
  return dbf::LayerOk;
}

uint32_t numberOfText(const std::string& text) {
  return uint32_t(std::strtoul(text.c_str(), nullptr, 10));
}

int dispatch(int op, FileBlock& b, OpArgs& a) {
  using namespace dbf;
  if (noEffect(op)) return LayerOk;
  if (op >= OpFirstUnsupported) return layerError(b, LayerNotSupported);
  // operations that need no open table
  switch (op) {
    case OpOpen: return opOpen(b, false);
    case OpOpenShared: return opOpen(b, true);
    case OpCreate: return opCreate(b);
    case OpClose: return opClose(b);
    case OpRemove: return opRemove(b);
    case OpCopy: return opCopy(b, a.text, false);
    case OpRename: return opCopy(b, a.text, true);
    case OpSend: return applyOptions(b, a.text, a.answer);
    case OpName:
      a.answer = std::filesystem::absolute(tablePath(b.file->name())).string();
      return LayerOk;
    default: break;
  }
  if (!b.handle) return layerError(b, LayerEnd, "the file is not open");
  switch (op) {
    case OpAdd: return opAdd(b, true);
    case OpAppend: return opAdd(b, false);
    case OpBeginTest: return opEdgeTest(b, -1);
    case OpEndTest: return opEdgeTest(b, 1);
    case OpBuildDynamic: return opBuildDynamic(b, a);
    case OpBuildAll: return opBuild(b, -1);
    case OpBuildOne: return opBuild(b, a.key);
    case OpBytes: {
      uint32_t n = 0;
      tableRecords(b.handle, n);
      a.number = int64_t(n) * b.recordLength;
      return LayerOk;
    }
    case OpDelete: return opDelete(b);
    case OpDupAll: return opDuplicate(b, -1);
    case OpDupOne: return opDuplicate(b, a.key);
    case OpEmpty: return opEmpty(b);
    case OpFlush: {
      // the table's buffers, then the pages of its index files
      if (int st = tableFlush(b.handle); st < 0) return engineResult(b, st);
      return b.index ? b.index->flush(b) : LayerOk;
    }
    case OpGetByKey: return opGetByKey(b, a.key);
    case OpGetByRecord:
    case OpGetByKeyRecord: return opGetByNumber(b, a.number);
    case OpGetByText:
    case OpGetByTextKey: return opGetByNumber(b, numberOfText(a.text));
    case OpHoldOnce: b.holdSeconds = 0; return LayerOk;
    case OpHoldWait: b.holdSeconds = int(std::max<int64_t>(0, a.number)); return LayerOk;
    case OpLockForever: return opLock(b, -1);
    case OpLockWait: return opLock(b, int(std::max<int64_t>(0, a.number)));
    case OpNext: return opRead(b, 1);
    case OpPrevious: return opRead(b, -1);
    case OpSkip: return opSkip(b, a.number);
    case OpNoMemos: b.skipMemos = true; return LayerOk;
    case OpPack: return opPack(b);
    case OpPosition:
    case OpPositionKey: return position(b, a, false);
    case OpPositionText:
    case OpPositionTextKey: return position(b, a, true);
    case OpPut: return opPut(b, b.current);
    case OpPutRecord: return opPut(b, uint32_t(a.number));
    case OpRecords:
    case OpRecordsKey: {
      uint32_t n = 0;
      int st = tableRecords(b.handle, n);
      a.number = n;
      return engineResult(b, st);
    }
    case OpRelease: return opRelease(b);
    case OpSetFile: return opSetFile(b, 0);
    case OpSetFileRecord: return opSetFile(b, uint32_t(std::max<int64_t>(0, a.number)));
    case OpSetFileText: return opSetFile(b, numberOfText(a.text));
    case OpSetKeyStart:
    case OpSetKeyValue:
    case OpSetKeyValue2:
    case OpSetKeyRecord:
    case OpSetKeyRecord2:
    case OpSetKeyText: return opSetKey(b, op, a);
    case OpUnlock:
      tableUnlockAll(b.handle);
      b.held = 0;
      return LayerOk;
    case OpWatch:
      b.watch = true;
      return LayerOk;
    default:
      return layerError(b, LayerNotSupported);
  }
}

}  // namespace

namespace dbf {

int engineResult(FileBlock& b, int status) {
  if (status >= 0) return LayerOk;
  b.engineStatus = status;
  b.detail = statusText(status);
  return fileLayerNumber(status);
}

int layerError(FileBlock& b, int number, const std::string& detail) {
  b.engineStatus = 0;
  b.detail = detail;
  return number;
}

}  // namespace dbf

extern "C" int FOXPRO(int op, dbf::FileBlock* block, dbf::OpArgs* args) {
  if (!block || !block->file) return dbf::LayerDriverError;
  dbf::OpArgs none;
  dbf::OpArgs& a = args ? *args : none;
  block->engineStatus = 0;
  block->detail.clear();
  int r = dispatch(op, *block, a);
  block->lastOp = op;
  if (r && block->engineStatus && (block->options & dbf::OptExtErrors)) {
    std::string name = std::filesystem::path(block->path).filename().string();
    char text[512];
    std::snprintf(text, sizeof text, "File %s, xBase Error (%d): %s", name.c_str(), block->engineStatus,
                  block->detail.c_str());
    dbf::hostHalt(text);
  }
  return r;
}

const dbf::DriverRegistration FoxDrvReg = {
    "FoxPro",
    "FoxPro File Driver 1.0",
    &FOXPRO,
    kMaxFieldLength,
    dbf::kMaxRecordLength,
    kMaxRecords,
    kFileBlockSize,
    kFieldBlockSize,
    kKeyBlockSize,
    kMemoBlockSize,
    {57, 1, 4, 2, 5, 3, 6, 52, 14, 7, 9, 10, 11, 12, 57, 13, 29, 15, 16, 17, 18, 19, 20, 21, 23, 24, 65, 25, 26,
     27, 28, 61, 62, 31, 30, 54, 32, 33, 66, 67, 36, 37, 38, 63, 64, 60, 41, 42, 43, 44, 47, 45, 46, 48, 49, 56,
     50, 58},
    {7, 1, 4, 6, 9, 18, 21, 22},
};
