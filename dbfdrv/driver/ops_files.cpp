// Whole files: pack, empty, copy, rename, remove and key builds.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "driver/ops.h"
#include "driver/table_check.h"
#include "index/key_declaration.h"

namespace dbf {

namespace {

std::string upperName(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The path a companion file (memo or index) gets beside a table copied or
// renamed from `fromTable` to `toTable`: one named after the table (its memo
// file, its compound index) is named after the new table; one with a name
// of its own keeps it, in the new table's directory, where the declaration
// looks for it.
std::string companionPath(const std::string& file, const std::string& fromTable, const std::string& toTable) {
  std::filesystem::path from(file);
  std::filesystem::path to(toTable);
  if (upperName(from.stem().string()) == upperName(std::filesystem::path(fromTable).stem().string()))
    return withExtension(toTable, from.extension().string());
  return (to.parent_path() / from.filename()).string();
}

// The memo file of a closed table: the kind its version byte names.
std::string closedMemoPath(const FileBlock& b) {
  TableMemo kind = b.dialect == DialectFoxBase ? TableMemo::Dbt3 : TableMemo::Fpt;
  int handle = 0;
  if (tableOpen(b.path, b.dialect, OpenReadOnly, handle) >= 0) {
    kind = tableInfo(handle)->memo;
    tableClose(handle);
  }
  return findMemoFile(b.path, kind);
}

// The declared index files of a closed table.
int closedIndexFiles(FileBlock& b, std::vector<std::string>& files) {
  const std::string dir = std::filesystem::path(b.path).parent_path().string();
  for (const qv::KeyDesc& k : b.file->decl().keys) {
    KeyDeclaration d;
    if (int st = parseKeyDeclaration(k.name, dir, b.dialect == DialectFoxBase, d); st) return engineResult(b, st);
    std::error_code ec;
    if (std::filesystem::exists(d.file, ec) &&
        std::find(files.begin(), files.end(), d.file) == files.end())
      files.push_back(d.file);
  }
  return LayerOk;
}

// The index and memo files that go with the table (those that exist).
int companions(FileBlock& b, std::vector<std::string>& files) {
  files.clear();
  std::error_code ec;
  if (b.handle) {
    if (b.index) files = b.index->files(b);
    std::string memo = b.memoPath.empty() ? memoPathOf(b) : b.memoPath;
    if (std::filesystem::exists(memo, ec)) files.push_back(memo);
    return LayerOk;
  }
  // a closed table: the declaration's driver string tells its dialect
  std::string answer;
  bool recover = false;
  if (int r = applyOptions(b, b.file->decl().driverString, answer, &recover); r) return r;
  if (int r = closedIndexFiles(b, files); r) return r;
  std::string memo = closedMemoPath(b);
  if (!memo.empty()) files.push_back(memo);
  return LayerOk;
}

// Where a copy or rename goes: a directory keeps the table's own name.
std::string targetPath(const FileBlock& b, const std::string& to) {
  std::error_code ec;
  if (std::filesystem::is_directory(to, ec))
    return (std::filesystem::path(to) / std::filesystem::path(b.path).filename()).string();
  return tablePath(to);
}

}  // namespace

int opPack(FileBlock& b) {
  const TableInfo* info = tableInfo(b.handle);
  if (!info) return layerError(b, LayerEnd);
  if (info->readOnly) return engineResult(b, ErrFileOpenForReadingOnly);
  // a memo file that could not take the packed memos refuses the pack
  // before the table changes
  if (b.memo)
    if (int r = b.memo->writable(b); r) return r;
  if (b.held) opRelease(b);
  int st = tablePack(b.handle);
  if (st < 0) return engineResult(b, st);
  b.current = 0;
  b.startPending = false;
  // the memos move whatever became of the indexes, and every index is
  // built whatever became of another
  int r = b.index ? b.index->rebuild(b, -1) : LayerOk;
  if (b.memo) {
    int status = b.engineStatus;
    std::string detail = b.detail;
    int m = b.memo->pack(b);
    if (!r) return m;
    // the first failure is the one reported
    b.engineStatus = status;
    b.detail = detail;
  }
  return r;
}

int opEmpty(FileBlock& b) {
  if (!tableInfo(b.handle)) return layerError(b, LayerEnd);
  int st = tableEmpty(b.handle);
  if (st < 0) return engineResult(b, st);
  b.current = 0;
  b.held = 0;
  b.startPending = false;
  if (b.index)
    if (int r = b.index->rebuild(b, -1); r) return r;
  if (b.memo) {
    b.memo->close(b);
    if (int r = b.memo->create(b); r) return r;
    if (int r = b.memo->open(b); r) return r;
  }
  return LayerOk;
}

int opCopy(FileBlock& b, const std::string& to, bool move) {
  if (to.empty()) return layerError(b, LayerNoName);
  if (!b.handle) b.path = tablePath(b.file->name());
  if (move && b.handle) return engineResult(b, ErrAccessToFileDenied);
  std::string target = targetPath(b, to);
  if (target == b.path) return LayerOk;
  std::vector<std::string> files;
  if (int r = companions(b, files); r) return r;
  // every file and where it goes; a rename leaves a file that stays where
  // it is (an index of its own name, renamed in its directory) alone
  std::vector<std::pair<std::string, std::string>> moves = {{b.path, target}};
  for (const std::string& f : files) {
    std::string t = companionPath(f, b.path, target);
    if (move && t == f) continue;
    moves.emplace_back(f, t);
  }
  // nothing is replaced: an existing target refuses the whole copy or
  // rename before any file is touched
  std::error_code ec;
  for (const auto& [from, t] : moves)
    if (std::filesystem::exists(t, ec)) return engineResult(b, ErrAccessToFileDenied);
  if (!move && b.index)
    if (int r = b.index->flush(b); r) return r;
  std::vector<std::pair<std::string, std::string>> done;
  for (const auto& [from, t] : moves) {
    int st;
    if (move) st = renameNew(from, t);
    else if (from == b.path && b.handle) st = tableCopy(b.handle, t);
    else st = copyFile(from, t);
    if (st < 0) {
      // a copy half made is removed; a rename half made is undone
      for (auto it = done.rbegin(); it != done.rend(); ++it) {
        if (move) renameNew(it->second, it->first);
        else removeFile(it->second);
      }
      return engineResult(b, st);
    }
    done.emplace_back(from, t);
  }
  return LayerOk;
}

int opRemove(FileBlock& b) {
  if (b.handle) return engineResult(b, ErrAccessToFileDenied);
  if (b.file->name().empty()) return layerError(b, LayerNoName);
  b.path = tablePath(b.file->name());
  std::vector<std::string> files;
  if (int r = companions(b, files); r) return r;
  int st = removeFile(b.path);
  if (st < 0) return engineResult(b, st);
  for (const std::string& f : files) removeFile(f);
  return LayerOk;
}

int opBuild(FileBlock& b, int key) {
  if (!b.index) return layerError(b, LayerIndexMissing);
  return b.index->rebuild(b, key);
}

int opBuildDynamic(FileBlock& b, OpArgs& a) {
  if (int r = needIndex(b); r) return r;
  if (!b.index) {
    // A table without declared keys gets its index side for the dynamic one.
    b.index = makeIndexSide(b, true);
    if (!b.index) return layerError(b, LayerIndexMissing, "no index module");
    if (int r = b.index->open(b); r) {
      b.index.reset();
      return r;
    }
  }
  int key = -1;
  if (int r = b.index->buildDynamic(b, a.text, key); r) return r;
  a.key = key;
  a.number = key;
  return LayerOk;
}

}  // namespace dbf
