// Describing and checking the index files of a table.
#include "index/index_check.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "index/day_numbers.h"
#include "table/engine_status.h"

namespace dbf {
namespace {

// Faults told per tag before the rest are summed up.
constexpr std::size_t kFaultsPerTag = 10;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool isCompound(const std::string& path) {
  IndexFile f;
  IndexOpenOptions ro;
  ro.readOnly = true;
  if (f.open(path, IndexKind::Compound, ro)) return false;
  uint8_t options = 0;
  return f.readBytes(14, &options, 1) == StatusOk && (options & IndexCompound);
}

struct OpenTree {
  CompoundIndex cdx;
  SingleIndex single;
  IndexTree tag;
  IndexTree* tree = nullptr;
};

int openTree(const std::string& path, const std::string& name, KeyType type, OpenTree& t) {
  IndexOpenOptions ro;
  ro.readOnly = true;
  if (isCompound(path)) {
    if (int st = t.cdx.open(path, ro); st) return st;
    if (int st = t.cdx.openTag(name, type, t.tag); st) return st;
    t.tree = &t.tag;
    return StatusOk;
  }
  if (int st = t.single.open(path, type, ro); st) return st;
  t.tree = &t.single.tree();
  return StatusOk;
}

TagReport reportOf(const std::string& name, IndexTree& tree) {
  TagReport r;
  r.name = name;
  r.keyExpression = tree.header().keyExpression;
  r.forExpression = tree.header().forExpression;
  r.keyLength = tree.header().keyLength;
  r.unique = tree.header().unique();
  r.descending = tree.header().descending;
  return r;
}

std::vector<std::string> tagNames(const std::string& path, int& st) {
  std::vector<std::string> names;
  st = StatusOk;
  if (!isCompound(path)) {
    names.push_back("");
    return names;
  }
  CompoundIndex cdx;
  IndexOpenOptions ro;
  ro.readOnly = true;
  std::vector<TagEntry> tags;
  if ((st = cdx.open(path, ro)) || (st = cdx.tags(tags))) return names;
  for (const TagEntry& t : tags) names.push_back(t.name);
  return names;
}

KeyType typeOf(const ExprValue& v) {
  switch (v.type) {
    case ExprType::Number: return KeyType::Numeric;
    case ExprType::Date: return KeyType::Date;
    case ExprType::Logical: return KeyType::Logical;
    default: return KeyType::Character;
  }
}

// Checks one tree against the records; answers 0 or the status that
// stopped the check.
int checkTree(const std::string& label, IndexTree& tree, RecordSource& records, std::vector<std::string>& faults,
              std::vector<std::string>& notes) {
  std::string detail;
  if (int st = tree.verify(detail); st) {
    faults.push_back(label + ": " + detail);
    return StatusOk;
  }
  KeyDefinition def;
  Expression key, filter;
  if (key.compile(tree.header().keyExpression, &detail) ||
      (!tree.header().forExpression.empty() && filter.compile(tree.header().forExpression, &detail))) {
    faults.push_back(label + ": " + detail);
    return StatusOk;
  }
  std::vector<IndexEntry> expected;
  std::vector<std::string> keyOfRecord(records.count() + 1);
  std::vector<bool> admitted(records.count() + 1, false);
  KeyType type = KeyType::Character;
  for (uint32_t n = 1; n <= records.count(); ++n) {
    const RecordAccess* r = nullptr;
    if (int st = records.read(n, r); st) return st;
    if (n == 1) {
      ExprValue v;
      if (key.evaluate(*r, v, &detail)) {
        faults.push_back(label + ": " + detail);
        return StatusOk;
      }
      type = typeOf(v);
      int wanted = type == KeyType::Character ? tree.header().keyLength
                                              : (type == KeyType::Logical ? kLogicalKeyLength : kNumericKeyLength);
      if (wanted != tree.header().keyLength) {
        notes.push_back(label + ": keys of " + std::to_string(tree.header().keyLength) +
                        " bytes for the expression \"" + tree.header().keyExpression +
                        "\" are not of an encoding this driver makes; not compared with the records");
        return StatusOk;
      }
      // Keys of other writers may be longer than the driver makes them: the
      // definition takes the tree's length as it is.
      def.type = type;
      def.length = tree.header().keyLength;
      def.key = std::move(key);
      def.filter = std::move(filter);
      if (type == KeyType::Date) {
        // Date keys are compared in the day numbers the tree holds; the
        // look moves the tree and the record source.
        if (int st = findDayNumbers(tree, def, records, def.days); st) return st;
        if (int st = records.read(n, r); st) return st;
      }
    }
    std::string k;
    bool in = false;
    if (buildKey(def, *r, k, in, &detail)) {
      faults.push_back(label + ": record " + std::to_string(n) + ": " + detail);
      return StatusOk;
    }
    keyOfRecord[n] = tree.normalize(k);
    admitted[n] = in;
    if (in) expected.push_back(IndexEntry{keyOfRecord[n], n, 0});
  }
  std::vector<IndexEntry> walked;
  bool found = false;
  int st = tree.first(found);
  while (st == StatusOk && found) {
    walked.push_back(IndexEntry{tree.key(), tree.record(), 0});
    st = tree.next(found);
  }
  if (st) {
    faults.push_back(label + ": " + statusText(st));
    return StatusOk;
  }
  std::size_t before = faults.size();
  auto fault = [&](const std::string& text) {
    if (faults.size() - before < kFaultsPerTag) faults.push_back(label + ": " + text);
  };
  // Each entry names a record the filter admits and holds its key.
  std::vector<int> entries(records.count() + 1, 0);
  for (const IndexEntry& e : walked) {
    if (e.record < 1 || e.record > records.count()) {
      fault("an entry names record " + std::to_string(e.record) + ", which the table does not have");
      continue;
    }
    if (++entries[e.record] > 1) fault("record " + std::to_string(e.record) + " has more than one entry");
    else if (!admitted[e.record]) fault("record " + std::to_string(e.record) + " has an entry its filter refuses");
    else if (keyOfRecord[e.record] != e.key) fault("the entry of record " + std::to_string(e.record) + " holds another key than the record's");
  }
  if (tree.header().unique()) {
    // Each key of an admitted record is there once.
    std::vector<std::string> want, have;
    for (const IndexEntry& e : expected) want.push_back(e.key);
    for (const IndexEntry& e : walked) have.push_back(e.key);
    std::sort(want.begin(), want.end());
    want.erase(std::unique(want.begin(), want.end()), want.end());
    std::sort(have.begin(), have.end());
    if (std::adjacent_find(have.begin(), have.end()) != have.end()) fault("a key of this unique tag is there twice");
    have.erase(std::unique(have.begin(), have.end()), have.end());
    if (want != have) fault(std::to_string(want.size()) + " different keys in the records, " + std::to_string(have.size()) + " in the tag");
  } else {
    for (const IndexEntry& e : expected)
      if (entries[e.record] == 0) fault("record " + std::to_string(e.record) + " has no entry");
  }
  if (faults.size() - before >= kFaultsPerTag) faults.push_back(label + ": and more");
  return StatusOk;
}

}  // namespace

std::string structuralIndexPath(const std::string& tablePath) {
  std::filesystem::path table(tablePath);
  std::filesystem::path dir = table.has_parent_path() ? table.parent_path() : std::filesystem::path(".");
  std::string wanted = lower(table.stem().string() + ".cdx");
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (lower(e.path().filename().string()) == wanted) return e.path().string();
  return "";
}

int describeIndexFile(const std::string& path, std::vector<TagReport>& out) {
  out.clear();
  int st = StatusOk;
  for (const std::string& name : tagNames(path, st)) {
    OpenTree t;
    if ((st = openTree(path, name, KeyType::Character, t))) return st;
    TagReport r = reportOf(name, *t.tree);
    if ((st = t.tree->count(r.keys))) return st;
    out.push_back(r);
  }
  return st;
}

int tagRecordOrder(const std::string& path, const std::string& tag, std::vector<uint32_t>& records) {
  records.clear();
  OpenTree t;
  if (int st = openTree(path, tag, KeyType::Character, t); st) return st;
  bool found = false;
  int st = t.tree->first(found);
  while (st == StatusOk && found) {
    records.push_back(t.tree->record());
    st = t.tree->next(found);
  }
  return st;
}

int checkIndexFile(const std::string& path, RecordSource& records, std::vector<std::string>& faults,
                   std::vector<std::string>& notes) {
  int st = StatusOk;
  std::vector<std::string> names = tagNames(path, st);
  if (st) return st;
  std::string file = std::filesystem::path(path).filename().string();
  for (const std::string& name : names) {
    std::string label = name.empty() ? file : file + " tag " + name;
    // The pad byte of compact leaves follows the key type: C keys are read
    // first, and a tree of another type is opened again with its own.
    OpenTree t;
    if ((st = openTree(path, name, KeyType::Character, t))) {
      faults.push_back(label + ": " + statusText(st));
      continue;
    }
    KeyType type = KeyType::Character;
    if (records.count() > 0) {
      const RecordAccess* r = nullptr;
      Expression e;
      ExprValue v;
      if (records.read(1, r) == StatusOk && e.compile(t.tree->header().keyExpression) == ExprOk &&
          e.evaluate(*r, v) == ExprOk)
        type = typeOf(v);
    }
    OpenTree typed;
    if ((st = openTree(path, name, type, typed))) {
      faults.push_back(label + ": " + statusText(st));
      continue;
    }
    if ((st = checkTree(label, *typed.tree, records, faults, notes))) return st;
  }
  return StatusOk;
}

}  // namespace dbf
