// The declared keys of a table in their index files: each key's external
// name gives its tag, file and key specification; keys are built from DBF
// record images and kept current on add, change and deletion.
#include "driver/index_side.h"

#include <cctype>
#include <filesystem>
#include <map>

#include "driver/dbf_record.h"
#include "driver/ops.h"
#include "index/index_rebuild.h"
#include "index/key_declaration.h"
#include "services/prompt.h"
#include "table/engine_status.h"

namespace dbf {
namespace {

constexpr const char* kDriverCaption = "FoxPro Driver";
constexpr const char* kSameKeyNames =
    "This file has two key files with the same name.\nKey names must be unique in the first 8 characters";
// Index file names are told apart by their first 8 characters.
constexpr std::size_t kIndexNameSignificant = 8;

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

  void close(FileBlock&) override {
    keys_.clear();
    for (auto& [p, f] : compound_) f->close();
    for (auto& [p, f] : single_) f->close();
    compound_.clear();
    single_.clear();
  }

  int duplicate(FileBlock& b, int key, uint32_t recno, const std::string& record) override {
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      SideKey& k = keys_[i];
      if ((key >= 0 && static_cast<int>(i) != key) || !k.tree->header().unique()) continue;
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

  int update(FileBlock& b, uint32_t recno, const std::string& before, const std::string& after) override {
    for (SideKey& k : keys_) {
      std::string oldKey, newKey;
      bool oldIn = false, newIn = false;
      if (int r = keyOf(b, k, before, recno, oldKey, oldIn); r) return r;
      if (int r = keyOf(b, k, after, recno, newKey, newIn); r) return r;
      if (oldIn == newIn && oldKey == newKey) continue;
      if (oldIn)
        if (int st = k.tree->remove(oldKey, recno); st) return engineResult(b, st);
      if (newIn)
        if (int st = k.tree->insert(newKey, recno); st && st != CondKeyExists) return engineResult(b, st);
    }
    return LayerOk;
  }

  // A deletion mark keeps the entries, except where the filter mentions
  // DELETED(): there the filter is evaluated again.
  int deleted(FileBlock& b, uint32_t recno, const std::string& record) override {
    for (SideKey& k : keys_) {
      if (!k.def.filter.mentionsDeleted()) continue;
      std::string value;
      bool in = false;
      if (int r = keyOf(b, k, record, recno, value, in); r) return r;
      if (!in)
        if (int st = k.tree->remove(value, recno); st) return engineResult(b, st);
    }
    return LayerOk;
  }

  int seek(FileBlock& b, int key, const std::string& record, int components, uint32_t recno,
           uint32_t& found) override {
    SideKey* k = keyAt(key);
    if (!k) return layerError(b, LayerIndexMissing);
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

  bool equal(FileBlock& b, int key, const std::string& record, const std::string& probe) override {
    SideKey* k = keyAt(key);
    if (!k) return false;
    std::string a, c;
    bool in = false;
    return keyOf(b, *k, record, 0, a, in) == LayerOk && keyOf(b, *k, probe, 0, c, in) == LayerOk && a == c;
  }

  int rebuild(FileBlock& b, int key) override {
    const TableInfo* info = tableInfo(b.handle);
    if (!info) return engineResult(b, ErrInvalidHandleNumber);
    std::string dir = std::filesystem::path(b.path).parent_path().string();
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      if (key >= 0 && static_cast<int>(i) != key) continue;
      SideKey& k = keys_[i];
      TableRecords records(b.handle, info->fields);
      int st;
      if (k.decl.compound()) {
        st = rebuildTree(*k.tree, k.def, records, dir);
      } else {
        SingleIndex& idx = *single_[k.decl.file];
        st = rebuildSingleIndex(idx, k.decl.file, k.def, records, options(b), dir);
        k.tree = &idx.tree();
      }
      k.cursor = Cursor::None;
      if (st) return engineResult(b, st);
    }
    return LayerOk;
  }

  int buildDynamic(FileBlock& b, const std::string&) override {
    return layerError(b, LayerNotSupported, "dynamic indexes are not built by this driver");
  }

  std::vector<std::string> files(FileBlock&) override {
    std::vector<std::string> out;
    for (auto& [p, f] : compound_) out.push_back(p);
    for (auto& [p, f] : single_) out.push_back(p);
    return out;
  }

 private:
  SideKey* keyAt(int key) {
    return key >= 0 && static_cast<std::size_t>(key) < keys_.size() ? &keys_[static_cast<std::size_t>(key)] : nullptr;
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
    if (!in) return LayerOk;
    int st = k.tree->insert(value, recno);
    return st == CondKeyExists ? LayerOk : engineResult(b, st);
  }

  // The key of a declaration without an expression: its components' fields
  // joined, numbers and dates as text when there are several.
  static std::string componentExpression(const qv::KeyDesc& desc, const FileBlock& b, const TableInfo& info,
                                         KeyType& type, std::vector<uint32_t>& prefixes, bool& descending) {
    std::string expr;
    uint32_t length = 0;
    descending = !desc.parts.empty();
    for (const qv::KeyPart& part : desc.parts) {
      descending = descending && part.descending;
      const FieldDef* f = nullptr;
      for (const FieldMap& m : b.fields)
        if (m.field == part.field && m.element == 0 && m.dbf >= 0 && static_cast<std::size_t>(m.dbf) < info.fields.size())
          f = &info.fields[static_cast<std::size_t>(m.dbf)];
      if (!f) return "";
      std::string term = f->name;
      if (desc.parts.size() > 1) {
        if (f->type == 'N' || f->type == 'F')
          term = "STR(" + f->name + "," + std::to_string(f->length) + "," + std::to_string(f->decimals) + ")";
        else if (f->type == 'D') term = "DTOS(" + f->name + ")";
        else if (f->type == 'L') term = "IIF(" + f->name + ",'T','F')";
      }
      if (desc.nocase && f->type == 'C') term = "UPPER(" + term + ")";
      expr += (expr.empty() ? "" : "+") + term;
      length += f->type == 'D' ? 8 : f->length;
      prefixes.push_back(length);
      if (desc.parts.size() == 1)
        type = f->type == 'N' || f->type == 'F' ? KeyType::Numeric
               : f->type == 'D'                 ? KeyType::Date
               : f->type == 'L'                 ? KeyType::Logical
                                                : KeyType::Character;
    }
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
      std::string built = componentExpression(declared[i], b, *info, type, k.prefixLengths, descending);
      if (expression.empty()) expression = built;
      if (k.decl.hasType) type = k.decl.type;
      if (creating) {
        std::string name = upper(std::filesystem::path(k.decl.file).filename().string()).substr(0, kIndexNameSignificant);
        auto it = shortNames.find(name);
        if (it != shortNames.end() && it->second != k.decl.file) {
          qv::Message(kSameKeyNames, kDriverCaption, qv::Icon::Exclamation);
          for (auto& [n, f] : shortNames) std::filesystem::remove(f);
          return layerError(b, LayerDuplicateNames, kSameKeyNames);
        }
        shortNames[name] = k.decl.file;
      }
      if (int r = openKey(b, k, declared[i], type, expression, descending, creating, sample); r) return r;
    }
    return LayerOk;
  }

  int openKey(FileBlock& b, SideKey& k, const qv::KeyDesc& desc, KeyType type, const std::string& expression,
              bool descending, bool creating, const RecordAccess& sample) {
    std::string detail;
    if (creating) {
      int st = defineKey(static_cast<char>(type), expression, k.decl.forExpression, 0, sample, k.def, &detail);
      if (st == ExprUnknownName) return layerError(b, LayerKeyField, detail);
      if (st) return engineResult(b, st);
      TreeHeader h;
      h.keyLength = k.def.length;
      h.options = static_cast<uint8_t>((desc.unique ? IndexUnique : 0) | (k.decl.forExpression.empty() ? 0 : IndexHasFor));
      h.descending = descending;
      h.keyExpression = expression;
      h.forExpression = k.decl.forExpression;
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
    if (upper(stripExpressionBlanks(h.forExpression)) != upper(k.decl.forExpression) && !k.decl.forExpression.empty())
      return layerError(b, LayerMismatch, k.decl.file + " holds the filter " + h.forExpression);
    k.def = KeyDefinition();
    k.def.type = type;
    k.def.length = h.keyLength;
    if (k.def.key.compile(h.keyExpression, &detail) ||
        (!h.forExpression.empty() && k.def.filter.compile(h.forExpression, &detail)))
      return layerError(b, LayerMismatch, detail);
    (void)expression;
    return LayerOk;
  }

  std::vector<SideKey> keys_;
  std::map<std::string, std::unique_ptr<CompoundIndex>> compound_;
  std::map<std::string, std::unique_ptr<SingleIndex>> single_;
};

}  // namespace

std::unique_ptr<IndexSide> makeFileIndexSide() { return std::make_unique<FileIndexSide>(); }

}  // namespace dbf
