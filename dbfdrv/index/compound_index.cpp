// Compound index files and their tag directory, and single index files.
#include "index/compound_index.h"

#include <cctype>

#include "table/engine_status.h"

namespace dbf {

bool validTagName(const std::string& name) {
  if (name.empty() || name.size() > static_cast<std::size_t>(kMaxTagName)) return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

TreeHeader directoryHeader() {
  TreeHeader h;
  h.keyLength = kTagDirectoryKeyLength;
  h.options = kTagDirectoryOptions;
  return h;
}

}  // namespace

int CompoundIndex::create(const std::string& path, const IndexOpenOptions& options) {
  if (int st = file_.create(path, IndexKind::Compound, kCompactHeaderSize, options); st) return st;
  if (int st = IndexTree::create(&file_, 0, directoryHeader()); st) return st;
  return directory_.attach(&file_, 0, KeyType::Character);
}

int CompoundIndex::open(const std::string& path, const IndexOpenOptions& options) {
  if (int st = file_.open(path, IndexKind::Compound, options); st) return st;
  int st = directory_.attach(&file_, 0, KeyType::Character);
  if (st == StatusOk && directory_.header().keyLength != kTagDirectoryKeyLength) st = ErrInvalidTagHandle;
  if (st) file_.close();
  return st;
}

int CompoundIndex::tags(std::vector<TagEntry>& out) {
  out.clear();
  bool found = false;
  int st = directory_.first(found);
  while (st == StatusOk && found) {
    std::string name = directory_.key();
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
    out.push_back(TagEntry{upper(name), directory_.record()});
    st = directory_.next(found);
  }
  return st;
}

int CompoundIndex::findTag(const std::string& name, uint32_t& headerOffset, bool& found) {
  found = false;
  std::vector<TagEntry> all;
  if (int st = tags(all); st) return st;
  // Directory keys are compared without regard to case: other writers keep
  // the names as typed.
  for (const TagEntry& t : all)
    if (t.name == upper(name)) {
      headerOffset = t.headerOffset;
      found = true;
    }
  return StatusOk;
}

int CompoundIndex::openTag(const std::string& name, KeyType keyType, IndexTree& out) {
  if (!validTagName(name)) return ErrInvalidTagName;
  uint32_t at = 0;
  bool found = false;
  if (int st = findTag(name, at, found); st) return st;
  if (!found) return ErrInvalidTagName;
  if (at % kIndexPageSize || at == 0 || at + kCompactHeaderSize > file_.fileEnd()) return ErrInvalidTagHandle;
  return out.attach(&file_, at, keyType);
}

int CompoundIndex::removeTag(const std::string& name) {
  if (!validTagName(name)) return ErrInvalidTagName;
  uint32_t at = 0;
  bool found = false;
  if (int st = findTag(name, at, found); st) return st;
  if (!found) return StatusOk;
  if (int st = file_.beginChange(); st) return st;
  IndexTree tag;
  int st = tag.attach(&file_, at, KeyType::Character);
  // a damaged tag is removed all the same (its pages stay unused)
  if (st == StatusOk) st = tag.releaseIfWhole();
  else if (st == ErrInvalidRootPage) st = StatusOk;
  if (st == StatusOk) st = directory_.remove(upper(name), at);
  // The two pages of the tag's header are free pages from now on.
  if (st == StatusOk) st = file_.releasePage(at);
  if (st == StatusOk) st = file_.releasePage(at + kIndexPageSize);
  file_.endChange();
  return st;
}

int CompoundIndex::createTag(const std::string& name, const TreeHeader& header, KeyType keyType, IndexTree& out) {
  if (!validTagName(name)) return ErrInvalidTagName;
  if (int st = removeTag(name); st) return st;
  if (int st = file_.beginChange(); st) return st;
  TreeHeader h = header;
  h.options = static_cast<uint8_t>(h.options | IndexCompact | IndexCompound);
  uint32_t at = 0;
  int st = file_.appendSpace(kCompactHeaderSize, at);
  if (st == StatusOk) st = IndexTree::create(&file_, at, h);
  if (st == StatusOk) st = directory_.insert(upper(name), at);
  file_.endChange();
  if (st) return st;
  return out.attach(&file_, at, keyType);
}

int SingleIndex::create(const std::string& path, const TreeHeader& header, bool compact, KeyType keyType,
                        const IndexOpenOptions& options) {
  IndexKind kind = compact ? IndexKind::CompactIdx : IndexKind::PlainIdx;
  if (int st = file_.create(path, kind, compact ? kCompactHeaderSize : kPlainHeaderSize, options); st) return st;
  TreeHeader h = header;
  h.options = static_cast<uint8_t>((h.options & ~(IndexCompact | IndexCompound)) | (compact ? IndexCompact : 0));
  if (!compact) {
    h.descending = false;
    for (char& c : h.keyExpression) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : h.forExpression) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (int st = IndexTree::create(&file_, 0, h); st) return st;
  return tree_.attach(&file_, 0, keyType);
}

int SingleIndex::open(const std::string& path, KeyType keyType, const IndexOpenOptions& options) {
  // The options byte tells a compact file from a plain one.
  IndexFile probe;
  IndexOpenOptions readOnly;
  readOnly.readOnly = true;
  if (int st = probe.open(path, IndexKind::CompactIdx, readOnly); st) return st;
  uint8_t optionsByte = 0;
  int st = probe.readBytes(14, &optionsByte, 1);
  probe.close();
  if (st) return st;
  if (optionsByte & IndexCompound) return ErrInvalidTagHandle;
  IndexKind kind = optionsByte & IndexCompact ? IndexKind::CompactIdx : IndexKind::PlainIdx;
  if ((st = file_.open(path, kind, options))) return st;
  if ((st = tree_.attach(&file_, 0, keyType))) file_.close();
  return st;
}

std::string temporaryIndexName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::size_t dot = path.rfind('.');
  std::string base = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
  return base + ".$$$";
}

}  // namespace dbf
