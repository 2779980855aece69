// Opening, creating and closing a declared file, and the driver options.
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "driver/field_map.h"
#include "driver/host.h"
#include "driver/ops.h"

namespace dbf {

namespace {

constexpr const char* kDriverCaption = "FoxPro Driver";
constexpr int kMaxMemoFactor = 32;

std::string upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool switchedOn(const std::string& value) { return upper(value).rfind("OFF", 0) != 0; }

std::string onOff(bool on) { return on ? "ON" : "OFF"; }

// The memo block-size factor: the largest "[n]" suffix of the memo names.
int memoFactor(const qv::FileDecl& decl) {
  int factor = 0;
  for (const qv::FieldDesc& f : decl.fields) {
    if (f.type != qv::FieldType::Memo) continue;
    size_t open = f.name.rfind('[');
    if (open == std::string::npos || f.name.back() != ']') continue;
    int n = std::atoi(f.name.c_str() + open + 1);
    if (n >= 1 && n <= kMaxMemoFactor) factor = std::max(factor, n);
  }
  return factor ? factor : 1;
}

void resetState(FileBlock& b) {
  b.handle = 0;
  b.current = 0;
  b.held = 0;
  b.holdSeconds = -1;
  b.order = -1;
  b.startPending = false;
  b.watch = false;
  b.watchCopy.clear();
  b.watchRecord = 0;
  b.skipMemos = false;
  b.record.clear();
  b.index.reset();
  b.memo.reset();
}

}  // namespace

std::string tablePath(const std::string& declared) {
  return hasExtension(declared) ? declared : declared + ".DBF";
}

std::string memoPathOf(const FileBlock& b) {
  const TableInfo* info = tableInfo(b.handle);
  bool dbt = info ? info->memo == TableMemo::Dbt3 || info->memo == TableMemo::Dbt4 : b.dialect == DialectFoxBase;
  std::string path = withExtension(b.path, dbt ? ".DBT" : ".FPT");
  // a memo file written by another program may carry its extension in
  // another letter case than the table's
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) return path;
  std::filesystem::path p(path);
  std::filesystem::path dir = p.has_parent_path() ? p.parent_path() : std::filesystem::path(".");
  std::string want = upper(p.filename().string());
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
    if (upper(entry.path().filename().string()) == want) return entry.path().string();
  return path;
}

int applyOptions(FileBlock& b, const std::string& text, std::string& answer, bool* recover) {
  // options are separated by ";" or blanks in a driver string
  std::string all = text;
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find_first_of(";", pos);
    if (end == std::string::npos) end = all.size();
    std::string item = all.substr(pos, end - pos);
    pos = end + 1;
    while (!item.empty() && item.front() == ' ') item.erase(0, 1);
    while (!item.empty() && item.back() == ' ') item.pop_back();
    if (item.empty()) continue;
    size_t eq = item.find('=');
    std::string name = upper(item.substr(0, eq));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    bool hasValue = eq != std::string::npos;
    std::string value = hasValue ? item.substr(eq + 1) : std::string();
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
    if (name == "BUFFERS") {
      if (hasValue) {
        b.buffers = std::max(0, std::atoi(value.c_str()));
        if (b.handle) tableSetBuffers(b.handle, b.buffers);
      }
      answer = std::to_string(b.buffers);
    } else if (name == "DELETED") {
      // a question about the current record: a declaration has none to ask about
      if (recover) continue;
      if (!(b.options & OptIgnoreStatus) || !b.handle) return layerError(b, LayerNotSupported, "DELETED");
      if (!b.current) return layerError(b, LayerEnd);
      answer = onOff(!b.record.empty() && uint8_t(b.record[0]) == kDeletedFlag);
    } else if (name == "EXTERRORS") {
      if (hasValue) b.options = switchedOn(value) ? b.options | OptExtErrors : b.options & ~OptExtErrors;
      answer = onOff(b.options & OptExtErrors);
    } else if (name == "FOXBASE") {
      b.dialect = DialectFoxBase;
      answer.clear();
    } else if (name == "IGNORESTATUS") {
      if (hasValue) b.options = switchedOn(value) ? b.options | OptIgnoreStatus : b.options & ~OptIgnoreStatus;
      answer = onOff(b.options & OptIgnoreStatus);
    } else if (name == "RECOVER") {
      // from a declaration: done once the table is open
      if (recover) *recover = true;
      else if (int r = opRecover(b); r) return r;
      answer.clear();
    } else if (name == "REGISTER") {
      answer = std::to_string(reinterpret_cast<uintptr_t>(&FoxDrvReg));
    } else {
      return layerError(b, LayerNotSupported, "unknown option " + name);
    }
  }
  return LayerOk;
}

int opOpen(FileBlock& b, bool shared) {
  const qv::FileDecl& decl = b.file->decl();
  if (b.file->name().empty()) return layerError(b, LayerNoName);
  b.path = tablePath(b.file->name());
  std::string answer;
  bool recover = false;
  if (int r = applyOptions(b, decl.driverString, answer, &recover); r) return r;
  unsigned mode = b.openMode;
  if (shared) mode |= OpenShared | OpenWriteThrough;
  else if (b.buffers == 0) mode |= OpenWriteThrough;
  int handle = 0;
  int st = tableOpen(b.path, b.dialect, mode, handle);
  if (st < 0) return engineResult(b, st);
  resetState(b);
  b.handle = handle;
  const TableInfo* info = tableInfo(handle);
  b.recordLength = info->recordLength;
  if (!shared) tableSetBuffers(handle, b.buffers);
  if (int r = mapFields(b, *info); r) {
    tableClose(handle);
    resetState(b);
    return layerError(b, r, "the declaration does not match " + b.path);
  }
  b.memoFactor = memoFactor(decl);
  b.hasKeys = !decl.keys.empty();
  b.index = makeIndexSide(b);
  if (b.index) {
    if (int r = b.index->open(b); r) {
      // the failure keeps the engine's code and text
      b.index.reset();
      tableClose(handle);
      resetState(b);
      return r;
    }
  }
  if (!b.memos.empty()) {
    b.memoPath = memoPathOf(b);
    b.memo = makeMemoSide(b);
    int r = b.memo ? b.memo->open(b) : layerError(b, LayerMemoMissing, "no memo module");
    if (r) {
      std::string memoPath = b.memoPath;
      if (b.index) b.index->close(b);
      b.memo.reset();
      tableClose(handle);
      resetState(b);
      if (b.detail.find(memoPath) == std::string::npos) b.detail += (b.detail.empty() ? "" : ": ") + memoPath;
      return r;
    }
  }
  // RECOVER in the declaration clears the marks of a table opened for
  // writing (one opened for reading is read as it is)
  if (recover && !info->readOnly) {
    if (int r = opRecover(b); r) {
      opClose(b);
      return r;
    }
  }
  return LayerOk;
}

int opCreate(FileBlock& b) {
  const qv::FileDecl& decl = b.file->decl();
  if (b.file->name().empty()) return layerError(b, LayerNoName);
  b.path = tablePath(b.file->name());
  std::string answer;
  bool recover = false;  // a new table has no marks to clear
  if (int r = applyOptions(b, decl.driverString, answer, &recover); r) return r;
  std::vector<FieldDef> fields;
  std::string message;
  if (int r = fieldsForCreate(decl, fields, message); r) {
    if (!message.empty()) hostWarn(message, kDriverCaption);
    return layerError(b, r, message);
  }
  bool compound = false;
  for (const qv::KeyDesc& k : decl.keys) compound |= k.name.find('|') != std::string::npos;
  int st = tableCreate(b.path, b.dialect, fields, compound);
  if (st < 0) return engineResult(b, st);
  // Index files and the memo file are made with the table open.
  int handle = 0;
  st = tableOpen(b.path, b.dialect, OpenReadWrite, handle);
  if (st < 0) return engineResult(b, st);
  resetState(b);
  b.handle = handle;
  b.recordLength = tableInfo(handle)->recordLength;
  int r = mapFields(b, *tableInfo(handle));
  b.memoFactor = memoFactor(decl);
  b.hasKeys = !decl.keys.empty();
  if (!r) {
    b.index = makeIndexSide(b);
    if (b.index) r = b.index->create(b);
  }
  if (!r && !b.memos.empty()) {
    b.memoPath = memoPathOf(b);
    b.memo = makeMemoSide(b);
    r = b.memo ? b.memo->create(b) : LayerMemoMissing;
  }
  // The index files are named before the index side forgets them.
  std::vector<std::string> indexFiles = b.index ? b.index->files(b) : std::vector<std::string>();
  if (b.index) b.index->close(b);
  if (b.memo) b.memo->close(b);
  tableClose(handle);
  resetState(b);
  if (r) {
    // nothing half made stays behind; the failure keeps the engine's code and text
    removeFile(b.path);
    for (const std::string& f : indexFiles) removeFile(f);
    return r;
  }
  return LayerOk;
}

int opClose(FileBlock& b) {
  if (!b.handle) return LayerOk;
  int r = LayerOk;
  if (b.held) tableUnlockRecord(b.handle, b.held);
  if (b.index) b.index->close(b);
  if (b.memo) b.memo->close(b);
  int st = tableClose(b.handle);
  resetState(b);
  if (st < 0) r = engineResult(b, st);
  return r;
}

}  // namespace dbf
