// Whole files: pack, empty, copy, rename, remove and key builds.
#include <filesystem>

#include "driver/ops.h"

namespace dbf {

namespace {

// The path a companion file (memo or index) gets beside a table copied or
// renamed to `toTable`.
std::string companionPath(const std::string& file, const std::string& toTable) {
  std::filesystem::path from(file);
  std::filesystem::path to(toTable);
  std::string ext = from.extension().string();
  return withExtension(toTable, ext.empty() ? "" : ext);
}

std::vector<std::string> companions(FileBlock& b) {
  std::vector<std::string> files;
  if (b.index) files = b.index->files(b);
  std::string memo = b.memoPath.empty() ? memoPathOf(b) : b.memoPath;
  std::error_code ec;
  if (std::filesystem::exists(memo, ec)) files.push_back(memo);
  return files;
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
  if (b.held) opRelease(b);
  int st = tablePack(b.handle);
  if (st < 0) return engineResult(b, st);
  b.current = 0;
  b.startPending = false;
  if (b.index)
    if (int r = b.index->rebuild(b, -1); r) return r;
  if (b.memo)
    if (int r = b.memo->pack(b); r) return r;
  return LayerOk;
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
  if (b.path.empty()) b.path = tablePath(b.file->name());
  std::string target = targetPath(b, to);
  if (target == b.path) return LayerOk;
  std::vector<std::string> files = companions(b);
  std::vector<std::string> done;
  int st = move ? (b.handle ? ErrAccessToFileDenied : renameFile(b.path, target))
                : (b.handle ? tableCopy(b.handle, target) : copyFile(b.path, target));
  if (st < 0) return engineResult(b, st);
  done.push_back(target);
  for (const std::string& f : files) {
    std::string t = companionPath(f, target);
    st = move ? renameFile(f, t) : copyFile(f, t);
    if (st < 0) {
      // a copy half made is removed; a rename half made is undone
      if (!move)
        for (const std::string& d : done) removeFile(d);
      return engineResult(b, st);
    }
    done.push_back(t);
  }
  return LayerOk;
}

int opRemove(FileBlock& b) {
  if (b.handle) return engineResult(b, ErrAccessToFileDenied);
  if (b.file->name().empty()) return layerError(b, LayerNoName);
  b.path = tablePath(b.file->name());
  std::vector<std::string> files = companions(b);
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
