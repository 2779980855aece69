// The declared keys of a table in their index files: each key's external
// name gives its tag, file and key specification; keys are built from DBF
// record images and kept current on add, change and deletion (on-demand
// keys are built when next used instead). Dynamic indexes built from a key
// description live beside them until the table is closed.
#include "driver/index_side.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <map>
#include <set>

#include "driver/dbf_record.h"
#include "driver/dynamic_key.h"
#include "driver/host.h"
#include "driver/key_terms.h"
#include "driver/ops.h"
#include "index/day_numbers.h"
#include "index/index_rebuild.h"
#include "index/key_declaration.h"
#include "table/engine_status.h"

namespace dbf {
namespace {

constexpr const char* kDriverCaption = "FoxPro Driver";
constexpr const char* kSameKeyNames =
    "This file has two key files with the same name.\nKey names must be unique in the first 8 characters";
// Index file names are told apart by their first 8 characters.
constexpr std::size_t kIndexNameSignificant = 8;
// Dynamic indexes take the first free name of these in the current directory.
constexpr const char* kDynamicNamePattern = "DYN%03d.$$$";
constexpr int kDynamicNames = 1000;

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

enum class Cursor { None, BeforeFirst, AfterLast, At };

struct SideKey {
  KeyDeclaration decl;
  KeyDefinition def;
  std::vector<uint32_t> prefixLengths;  // key bytes of the first n components
  IndexTree tag;                         // a compound file's tag
  IndexTree* tree = nullptr;
  Cursor cursor = Cursor::None;
  std::string key;
  uint32_t record = 0;
  bool onDemand = false;  // not kept current on writes; built when first used
  bool stale = false;     // an on-demand key that may be out of date
  bool passed = false;    // an on-demand key that writes passed by since it was built
  bool dynamic = false;   // a dynamic index, whose file goes when the table closes
};

// The table's records for a rebuild.
class TableRecords : public RecordSource {
 public:
  TableRecords(int handle, const std::vector<FieldDef>& fields) : handle_(handle), fields_(fields) {
    tableRecords(handle, count_);
  }
  uint32_t count() const override { return count_; }
  int read(uint32_t n, const RecordAccess*& out) override {
    int st = tableRead(handle_, n, image_);
    if (st < 0) return st;
    record_ = std::make_unique<DbfRecord>(fields_, image_, n);
    out = record_.get();
    return StatusOk;
  }

 private:
  int handle_;
  const std::vector<FieldDef>& fields_;
  uint32_t count_ = 0;
  std::string image_;
  std::unique_ptr<DbfRecord> record_;
};

class FileIndexSide : public IndexSide {
 public:
  int open(FileBlock& b) override { return load(b, false); }
  int create(FileBlock& b) override { return load(b, true); }

  void close(FileBlock& b) override {
    // An on-demand key that writes passed by is built before the file is
    // left, so that no reader (another program among them) finds it out of
    // date; one that was not written is left as it is.
    for (SideKey& k : keys_)
      if (k.onDemand && k.passed && !options(b).readOnly) rebuildKey(b, k);
    keys_.clear();
    for (auto& [p, f] : compound_) f->close();
    for (auto& [p, f] : single_) f->close();
    compound_.clear();
    single_.clear();
    std::error_code ec;
    for (const std::string& p : dynamic_) std::filesystem::remove(p, ec);
    dynamic_.clear();
  }

  int flush(FileBlock& b) override {
    for (auto& [p, f] : compound_)
      if (int st = f->flush(); st) return engineResult(b, st);
    for (auto& [p, f] : single_)
      if (int st = f->flush(); st) return engineResult(b, st);
    return LayerOk;
  }

  int duplicate(FileBlock& b, int key, uint32_t recno, const std::string& record) override {
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      SideKey& k = keys_[i];
      if ((key >= 0 && static_cast<int>(i) != key) || !k.tree->header().unique()) continue;
      // An on-demand key is tested when it is current or asked for by itself.
      if (k.onDemand && k.stale && key < 0) continue;
      if (int r = ready(b, k); r) return r;
      std::string value;
      bool in = false;
      if (int r = keyOf(b, k, record, recno, value, in); r) return r;
      if (!in) continue;
      bool found = false;
      if (int st = k.tree->find(value, FindMode::FirstEqual, 0, found); st) return engineResult(b, st);
      while (found && k.tree->key() == k.tree->normalize(value)) {
        if (k.tree->record() != recno)
          return layerError(b, LayerDuplicateKey, "the record would duplicate the key " + k.decl.file);
        if (int st = k.tree->next(found); st) return engineResult(b, st);
      }
      k.cursor = Cursor::None;
    }
    return LayerOk;
  }

  int insert(FileBlock& b, uint32_t recno, const std::string& record) override {
    for (SideKey& k : keys_)
      if (int r = add(b, k, recno, record); r) return r;
    return LayerOk;
  }

  // An on-demand key that a write would change is left as it is, to be
  // built again when it is next used.
  static bool passBy(SideKey& k) {
    if (k.onDemand) k.stale = k.passed = true;
    return k.onDemand;
  }

  int update(FileBlock& b, uint32_t recno, const std::string& before, const std::string& after) override {
    for (SideKey& k : keys_) {
      std::string oldKey, newKey;
      bool oldIn = false, newIn = false;
      if (int r = keyOf(b, k, before, recno, oldKey, oldIn); r) return r;
      if (int r = keyOf(b, k, after, recno, newKey, newIn); r) return r;
      if (oldIn == newIn && oldKey == newKey) continue;
      if (passBy(k)) continue;
      if (oldIn)
        if (int st = k.tree->remove(oldKey, recno); st) return engineResult(b, st);
      if (newIn)
        if (int st = k.tree->insert(newKey, recno); st && st != CondKeyExists) return engineResult(b, st);
    }
    return LayerOk;
  }

  // A deletion mark set or cleared keeps the entries, except where the
  // filter mentions DELETED(): there the filter is evaluated again, and the
  // record's entry goes or comes (once).
  int markChanged(FileBlock& b, uint32_t recno, const std::string& record) override {
    for (SideKey& k : keys_) {
      if (!k.def.filter.mentionsDeleted()) continue;
      std::string value;
      bool in = false;
      if (int r = keyOf(b, k, record, recno, value, in); r) return r;
      if (passBy(k)) continue;
      if (!in) {
        if (int st = k.tree->remove(value, recno); st) return engineResult(b, st);
        continue;
      }
      bool present = false;
      if (int st = k.tree->find(value, FindMode::Exact, recno, present); st) return engineResult(b, st);
      if (!present)
        if (int st = k.tree->insert(value, recno); st && st != CondKeyExists) return engineResult(b, st);
    }
    return LayerOk;
  }

  int seek(FileBlock& b, int key, const std::string& record, int components, uint32_t recno,
           uint32_t& found) override {
    SideKey* k = keyAt(key);
    if (!k) return layerError(b, LayerIndexMissing);
    if (int r = ready(b, *k); r) return r;
    std::string value;
    bool in = false;
    if (int r = keyOf(b, *k, record, recno, value, in); r) return r;
    if (components > 0 && static_cast<std::size_t>(components) < k->prefixLengths.size())
      value = value.substr(0, k->prefixLengths[static_cast<std::size_t>(components) - 1]);
    bool at = false;
    int st = StatusOk;
    if (recno > 0) st = k->tree->find(value, FindMode::Exact, recno, at);
    if (st == StatusOk && !at) st = k->tree->find(value, FindMode::FirstNotBelow, 0, at);
    if (st) return engineResult(b, st);
    if (!at || !k->tree->positioned()) {
      k->cursor = Cursor::AfterLast;
      return layerError(b, LayerEnd);
    }
    remember(*k);
    found = k->record;
    return LayerOk;
  }

  int edge(FileBlock& b, int key, bool last) override {
    SideKey* k = keyAt(key);
    if (!k) return layerError(b, LayerIndexMissing);
    k->cursor = last ? Cursor::AfterLast : Cursor::BeforeFirst;
    return LayerOk;
  }

  int step(FileBlock& b, int key, int direction, uint32_t& recno) override {
    SideKey* k = keyAt(key);
    if (!k) return layerError(b, LayerIndexMissing);
    if (int r = ready(b, *k); r) return r;
    bool found = false;
    int st = StatusOk;
    if (k->cursor == Cursor::BeforeFirst || k->cursor == Cursor::None) {
      st = direction > 0 ? k->tree->first(found) : StatusOk;
    } else if (k->cursor == Cursor::AfterLast) {
      st = direction < 0 ? k->tree->last(found) : StatusOk;
    } else {
      // The tree may have changed since: find the current entry again; when
      // it is gone, the entry now at its place is the next one.
      bool same = k->tree->positioned() && k->tree->key() == k->key && k->tree->record() == k->record;
      if (!same) st = k->tree->find(k->key, FindMode::Exact, k->record, same);
      if (st == StatusOk && same) {
        st = direction > 0 ? k->tree->next(found) : k->tree->previous(found);
      } else if (st == StatusOk) {
        st = k->tree->find(k->key, FindMode::AfterEqual, 0, found);
        if (st == StatusOk && direction < 0) {
          if (found) st = k->tree->previous(found);
          else st = k->tree->last(found);
        }
      }
    }
    if (st) return engineResult(b, st);
    if (!found) {
      k->cursor = direction > 0 ? Cursor::AfterLast : Cursor::BeforeFirst;
      return layerError(b, LayerEnd);
    }
    remember(*k);
    recno = k->record;
    return LayerOk;
  }

  KeyCursor cursor(int key) override {
    KeyCursor at;
    if (SideKey* k = keyAt(key)) {
      at.state = static_cast<int>(k->cursor);
      at.key = k->key;
      at.record = k->record;
    }
    return at;
  }

  void setCursor(int key, const KeyCursor& at) override {
    if (SideKey* k = keyAt(key)) {
      // the tree itself may stand elsewhere: a step finds the entry again
      k->cursor = static_cast<Cursor>(at.state);
      k->key = at.key;
      k->record = at.record;
    }
  }

  bool equal(FileBlock& b, int key, const std::string& record, const std::string& probe) override {
    SideKey* k = keyAt(key);
    if (!k) return false;
    std::string a, c;
    bool in = false;
    return keyOf(b, *k, record, 0, a, in) == LayerOk && keyOf(b, *k, probe, 0, c, in) == LayerOk && a == c;
  }

  // Every key asked for is built, also after another failed (a key left
  // with the old record numbers would lead reads astray); the first failure
  // is the one answered.
  int rebuild(FileBlock& b, int key) override {
    int first = LayerOk;
    int status = 0;
    std::string detail;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      if (key >= 0 && static_cast<int>(i) != key) continue;
      int r = rebuildKey(b, keys_[i]);
      if (r && !first) {
        first = r;
        status = b.engineStatus;
        detail = b.detail;
      }
    }
    if (first) {
      b.engineStatus = status;
      b.detail = detail;
    }
    return first;
  }

  int buildDynamic(FileBlock& b, const std::string& description, int& key) override {
    const TableInfo* info = tableInfo(b.handle);
    if (!info) return engineResult(b, ErrInvalidHandleNumber);
    DynamicKey d;
    std::string detail;
    int st = parseDynamicKey(description, info->fields, d, detail);
    if (st == ExprUnknownName) return layerError(b, LayerKeyField, detail);
    if (st) {
      engineResult(b, st);
      b.detail += ": " + detail;
      return fileLayerNumber(st);
    }
    std::string path;
    if (int r = claimDynamicName(b, path); r) return r;
    keys_.emplace_back();
    SideKey& k = keys_.back();
    k.dynamic = true;
    k.decl.file = path;
    // A plain single index has no descending flag: a descending one is compact.
    k.decl.compressed = d.compressed || d.descending;
    k.prefixLengths = d.prefixLengths;
    dynamic_.insert(path);
    const std::string blank(info->recordLength, ' ');
    DbfRecord sample(info->fields, blank, 0);
    int r = LayerOk;
    st = defineKey(static_cast<char>(d.type), d.expression, d.filter, 0, sample, k.def, &detail);
    if (st == ExprUnknownName) r = layerError(b, LayerKeyField, detail);
    else if (st) r = engineResult(b, st);
    if (!r) {
      TreeHeader h;
      h.keyLength = k.def.length;
      h.options = static_cast<uint8_t>(d.filter.empty() ? 0 : IndexHasFor);
      h.descending = d.descending;
      h.keyExpression = d.expression;
      h.forExpression = d.filter;
      // The file is this handle's own: no locks, even on a shared table.
      auto& idx = single_[path];
      idx = std::make_unique<SingleIndex>();
      if ((st = idx->create(path, h, k.decl.compressed, k.def.type, IndexOpenOptions()))) r = engineResult(b, st);
      else k.tree = &idx->tree();
    }
    if (!r) r = rebuildKey(b, k);
    if (r) {
      if (auto it = single_.find(path); it != single_.end()) {
        it->second->close();
        single_.erase(it);
      }
      keys_.pop_back();
      std::error_code ec;
      std::filesystem::remove(path, ec);
      dynamic_.erase(path);
      return r;
    }
    key = static_cast<int>(keys_.size()) - 1;
    return LayerOk;
  }

  std::vector<std::string> files(FileBlock&) override {
    std::vector<std::string> out;
    for (auto& [p, f] : compound_) out.push_back(p);
    for (auto& [p, f] : single_)
      if (!dynamic_.count(p)) out.push_back(p);
    return out;
  }

 private:
  SideKey* keyAt(int key) {
    return key >= 0 && static_cast<std::size_t>(key) < keys_.size() ? &keys_[static_cast<std::size_t>(key)] : nullptr;
  }
  // Builds a key that is out of date before it is used (not in a table open
  // for reading only, which cannot be written: its index is read as it is).
  // A read in its order goes on from where it was, as after any change.
  int ready(FileBlock& b, SideKey& k) {
    if (!k.onDemand || !k.stale || options(b).readOnly) return LayerOk;
    const Cursor cursor = k.cursor;
    if (int r = rebuildKey(b, k); r) return r;
    k.cursor = cursor;
    return LayerOk;
  }

  // Builds a key's index anew from the records (in Julian day numbers).
  int rebuildKey(FileBlock& b, SideKey& k) {
    const TableInfo* info = tableInfo(b.handle);
    if (!info) return engineResult(b, ErrInvalidHandleNumber);
    std::string dir = std::filesystem::path(b.path).parent_path().string();
    TableRecords records(b.handle, info->fields);
    k.def.days = DayNumbers::Julian;
    int st;
    if (k.decl.compound() || k.dynamic) {
      // A dynamic index is new and the table's own: built in place.
      st = rebuildTree(*k.tree, k.def, records, dir);
    } else {
      SingleIndex& idx = *single_[k.decl.file];
      st = rebuildSingleIndex(idx, k.decl.file, k.def, records, options(b), dir);
      k.tree = &idx.tree();
    }
    k.cursor = Cursor::None;
    if (st) return engineResult(b, st);
    k.stale = k.passed = false;
    return LayerOk;
  }

  // Takes the first free name for a dynamic index in the current directory;
  // the file is made at once, so that two tables (or programs) never take
  // the same name.
  static int claimDynamicName(FileBlock& b, std::string& path) {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::current_path(ec);
    if (ec) return engineResult(b, ErrPathNotFound);
    for (int n = 0; n < kDynamicNames; ++n) {
      char name[16];
      std::snprintf(name, sizeof name, kDynamicNamePattern, n);
      path = (dir / name).string();
      int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) {
        ::close(fd);
        return LayerOk;
      }
      if (errno != EEXIST) return engineResult(b, ErrAccessToFileDenied);
    }
    return layerError(b, LayerNoName, "DYN000.$$$ to DYN999.$$$ all exist in " + dir.string());
  }

  static void remember(SideKey& k) {
    k.cursor = Cursor::At;
    k.key = k.tree->key();
    k.record = k.tree->record();
  }
  static IndexOpenOptions options(FileBlock& b) {
    IndexOpenOptions o;
    if (const TableInfo* info = tableInfo(b.handle)) {
      o.readOnly = info->readOnly;
      o.shared = info->shared;
    }
    return o;
  }

  int keyOf(FileBlock& b, SideKey& k, const std::string& image, uint32_t recno, std::string& value, bool& in) {
    const TableInfo* info = tableInfo(b.handle);
    if (!info) return engineResult(b, ErrInvalidHandleNumber);
    DbfRecord r(info->fields, image, recno);
    std::string detail;
    int st = buildKey(k.def, r, value, in, &detail);
    if (st == ExprUnknownName) return layerError(b, LayerKeyField, detail);
    if (st) return engineResult(b, st);
    value = k.tree->normalize(value);
    return LayerOk;
  }

  int add(FileBlock& b, SideKey& k, uint32_t recno, const std::string& record) {
    std::string value;
    bool in = false;
    if (int r = keyOf(b, k, record, recno, value, in); r) return r;
    if (!in || passBy(k)) return LayerOk;
    int st = k.tree->insert(value, recno);
    return st == CondKeyExists ? LayerOk : engineResult(b, st);
  }

  // The table's fields of a declared key's components (empty when one is
  // not mapped to a field).
  static std::vector<const FieldDef*> componentFields(const qv::KeyDesc& desc, const FileBlock& b,
                                                      const TableInfo& info) {
    std::vector<const FieldDef*> out;
    for (const qv::KeyPart& part : desc.parts) {
      const FieldDef* f = nullptr;
      for (const FieldMap& m : b.fields)
        if (m.field == part.field && m.element == 0 && m.dbf >= 0 && static_cast<std::size_t>(m.dbf) < info.fields.size())
          f = &info.fields[static_cast<std::size_t>(m.dbf)];
      if (!f) return {};
      out.push_back(f);
    }
    return out;
  }

  // Whether a component of the key holds OEM text.
  static bool oemKey(const qv::KeyDesc& desc, const FileBlock& b) {
    for (const qv::KeyPart& part : desc.parts)
      if (b.file->decl().fields[static_cast<std::size_t>(part.field)].oem) return true;
    return false;
  }

  // The key of a declaration without an expression: its components' fields
  // joined, numbers and dates as text when there are several.
  static std::string componentExpression(const qv::KeyDesc& desc, const std::vector<const FieldDef*>& fields,
                                         KeyType& type, std::vector<uint32_t>& prefixes, bool& descending) {
    std::string expr;
    uint32_t length = 0;
    descending = !desc.parts.empty();
    for (const qv::KeyPart& part : desc.parts) descending = descending && part.descending;
    if (fields.size() != desc.parts.size()) return "";
    for (const FieldDef* f : fields) {
      expr += (expr.empty() ? "" : "+") + componentTerm(*f, fields.size() > 1, desc.nocase);
      length += componentLength(*f);
      prefixes.push_back(length);
    }
    if (fields.size() == 1) type = fieldKeyType(*fields.front());
    return expr;
  }

  int load(FileBlock& b, bool creating) {
    close(b);
    const TableInfo* info = tableInfo(b.handle);
    if (!info) return engineResult(b, ErrInvalidHandleNumber);
    const std::string dir = std::filesystem::path(b.path).parent_path().string();
    const std::string blank(info->recordLength, ' ');
    DbfRecord sample(info->fields, blank, 0);
    const auto& declared = b.file->decl().keys;
    keys_.resize(declared.size());
    std::map<std::string, std::string> shortNames;  // first 8 characters -> file
    for (std::size_t i = 0; i < declared.size(); ++i) {
      SideKey& k = keys_[i];
      if (int st = parseKeyDeclaration(declared[i].name, dir, b.dialect == DialectFoxBase, k.decl); st)
        return engineResult(b, st);
      KeyType type = KeyType::Character;
      bool descending = false;
      std::string expression = k.decl.expression;
      std::vector<const FieldDef*> fields = componentFields(declared[i], b, *info);
      std::string built = componentExpression(declared[i], fields, type, k.prefixLengths, descending);
      if (expression.empty()) expression = built;
      k.onDemand = declared[i].onDemand;
      // Built when first used: a program stopped before it closed the file
      // may have left it out of date.
      k.stale = k.onDemand && !creating;
      // A key that excludes empty values keeps them out by its filter.
      std::string filter = declared[i].excludeEmpty ? nonEmptyFilter(fields, k.decl.forExpression) : k.decl.forExpression;
      if (k.decl.hasType) type = k.decl.type;
      if (creating) {
        std::string name = upper(std::filesystem::path(k.decl.file).filename().string()).substr(0, kIndexNameSignificant);
        auto it = shortNames.find(name);
        if (it != shortNames.end() && it->second != k.decl.file) {
          hostWarn(kSameKeyNames, kDriverCaption);
          for (auto& [n, f] : shortNames) std::filesystem::remove(f);
          return layerError(b, LayerDuplicateNames, kSameKeyNames);
        }
        shortNames[name] = k.decl.file;
      }
      if (int r = openKey(b, k, declared[i], type, expression, filter, descending, creating, sample); r) return r;
      k.def.oem = oemKey(declared[i], b);
    }
    return LayerOk;
  }

  int openKey(FileBlock& b, SideKey& k, const qv::KeyDesc& desc, KeyType type, const std::string& expression,
              const std::string& filter, bool descending, bool creating, const RecordAccess& sample) {
    std::string detail;
    if (creating) {
      if (filter.size() > kPlainExpressionSpace) return engineResult(b, ErrBadUserSpecifiedKeyExpression);
      int st = defineKey(static_cast<char>(type), expression, filter, 0, sample, k.def, &detail);
      if (st == ExprUnknownName) return layerError(b, LayerKeyField, detail);
      if (st) return engineResult(b, st);
      TreeHeader h;
      h.keyLength = k.def.length;
      h.options = static_cast<uint8_t>((desc.unique ? IndexUnique : 0) | (filter.empty() ? 0 : IndexHasFor));
      h.descending = descending;
      h.keyExpression = expression;
      h.forExpression = filter;
      if (k.decl.compound()) {
        auto& cdx = compound_[k.decl.file];
        if (!cdx) {
          cdx = std::make_unique<CompoundIndex>();
          if (int s = cdx->create(k.decl.file, options(b)); s) return engineResult(b, s);
        }
        if (int s = cdx->createTag(k.decl.tag, h, k.def.type, k.tag); s) return engineResult(b, s);
        k.tree = &k.tag;
      } else {
        auto& idx = single_[k.decl.file];
        idx = std::make_unique<SingleIndex>();
        if (int s = idx->create(k.decl.file, h, k.decl.compressed, k.def.type, options(b)); s) return engineResult(b, s);
        k.tree = &idx->tree();
      }
      return LayerOk;
    }
    if (!std::filesystem::exists(k.decl.file)) return layerError(b, LayerIndexMissing, k.decl.file);
    int st;
    if (k.decl.compound()) {
      auto& cdx = compound_[k.decl.file];
      if (!cdx) {
        cdx = std::make_unique<CompoundIndex>();
        if ((st = cdx->open(k.decl.file, options(b)))) return engineResult(b, st);
      }
      st = cdx->openTag(k.decl.tag, type, k.tag);
      k.tree = &k.tag;
    } else {
      auto& idx = single_[k.decl.file];
      idx = std::make_unique<SingleIndex>();
      st = idx->open(k.decl.file, type, options(b));
      k.tree = &idx->tree();
    }
    if (st) return engineResult(b, st);
    // The header's expressions must be the declared ones (without regard to
    // case: other writers store them in lower case); without a declared
    // expression the header's is the key's.
    const TreeHeader& h = k.tree->header();
    if (!k.decl.expression.empty() && upper(stripExpressionBlanks(h.keyExpression)) != upper(k.decl.expression))
      return layerError(b, LayerMismatch, k.decl.file + " holds the key " + h.keyExpression);
    // A key that excludes empty values may hold the declared filter joined
    // with its own (or, made before, the declared filter alone).
    const std::string held = upper(stripExpressionBlanks(h.forExpression));
    if (!k.decl.forExpression.empty() && held != upper(k.decl.forExpression) && held != upper(filter))
      return layerError(b, LayerMismatch, k.decl.file + " holds the filter " + h.forExpression);
    k.def = KeyDefinition();
    k.def.type = type;
    k.def.length = h.keyLength;
    if (k.def.key.compile(h.keyExpression, &detail) ||
        (!h.forExpression.empty() && k.def.filter.compile(h.forExpression, &detail)))
      return layerError(b, LayerMismatch, detail);
    (void)expression;
    if (type == KeyType::Date) {
      // Date keys go on in the day numbers the index holds.
      const TableInfo* info = tableInfo(b.handle);
      TableRecords records(b.handle, info->fields);
      if ((st = findDayNumbers(*k.tree, k.def, records, k.def.days))) return engineResult(b, st);
    }
    return LayerOk;
  }

  std::deque<SideKey> keys_;  // a deque: adding a dynamic key moves no other
  std::set<std::string> dynamic_;  // the files of dynamic indexes
  std::map<std::string, std::unique_ptr<CompoundIndex>> compound_;
  std::map<std::string, std::unique_ptr<SingleIndex>> single_;
};

}  // namespace

std::unique_ptr<IndexSide> makeFileIndexSide() { return std::make_unique<FileIndexSide>(); }

}  // namespace dbf
