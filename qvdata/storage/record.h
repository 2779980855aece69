// Declarations of files: record layouts (type descriptors) and keys.
//
// Every declared file has one record buffer, a plain struct, and a FileDecl
// that lists its fields in order (name, type, width, array dimension, where
// the field lives in the struct) and its keys with their attributes. The
// storage drivers move data between the buffer and the file through these
// descriptors only.
#pragma once

#include <array>
#include <cstddef>
#include <stdexcept>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "storage/fixedstr.h"

namespace qv {

enum class FieldType : uint8_t {
  Byte,    // unsigned 8-bit
  Long,    // signed 32-bit (DATE fields: day numbers; TIME fields: hundredths + 1)
  ULong,   // unsigned 32-bit (record IDs)
  Real,    // 8-byte floating point (numeric columns of external tables)
  String,  // Str<n>
  Memo,    // std::string of at most `size` bytes
};

const char* fieldTypeName(FieldType t);

struct FieldDesc {
  std::string name;   // upper-case field name without the prefix ("MSGNUMBER")
  FieldType type;
  uint32_t size;      // width of one element in bytes (STRING n, MEMO maximum)
  uint32_t dim;       // array dimension; 1 for a plain field
  size_t offset;      // offset of the first element in the record struct
  size_t stride;      // distance between array elements in the struct
  std::string group;  // name of the GROUP the field belongs to, or empty
  // External tables: the column's own name, optionally with a type hint
  // ("MSG_SEQ=N(10,0)", "SENT=D"); empty when the column is taken by position
  // with its own type.
  std::string external = {};
  // External tables: the column holds OEM (DOS code page) text.
  bool oem = false;
};

struct KeyPart {
  int field;        // index into FileDecl::fields
  bool descending;  // this component sorts in reverse order
};

struct KeyDesc {
  std::string name;  // "IdKey" (exported as PREFIX_IdKey)
  std::vector<KeyPart> parts;
  bool unique = false;
  bool nocase = false;        // string components compare without letter case
  bool primary = false;
  bool excludeEmpty = false;  // all-blank / all-zero values are left out of the key
  bool onDemand = false;      // not kept up to date; rebuilt explicitly
};

struct GroupDesc {
  std::string name;
  int firstField;  // index of the first member field
  int lastField;   // index of the last member field
};

// One value of a field as the drivers pass it around.
using FieldValue = std::variant<int64_t, double, std::string>;

struct FileDecl {
  FileDecl() = default;
  FileDecl(int n, std::string lbl, std::string pfx, std::string drv)
      : number(n), label(std::move(lbl)), prefix(std::move(pfx)), driver(std::move(drv)) {}

  int number = 0;          // file number (1..40), 0 for files declared for a driver only
  std::string label;       // "MsgNmbr"
  std::string prefix;      // "MSG"
  std::string driver;      // "ARDENT", "VELDRA", "LINE", "FLAT" or an external driver's name
  std::vector<FieldDesc> fields;
  std::vector<KeyDesc> keys;
  std::vector<GroupDesc> groups;
  std::string password;    // owner password; empty when the file has none
  // Options of the file's driver, applied when the file is opened or
  // created (for the DBF driver "FOXBASE", "BUFFERS=8", "IGNORESTATUS=ON").
  std::string driverString;
  void* buffer = nullptr;  // the record buffer
  // Positions of deleted records may be given again (the file's positions are
  // never remembered across runs), which spares bookkeeping on every add.
  bool reusePositions = false;
  // A scratch file of the temporary directory: writes are not forced to disk,
  // since the file is emptied before every use.
  bool scratch = false;
  // Used by one connection of one process while it is open (the import's
  // temporary files, which only the installation's one writer uses): the
  // connection takes its lock once and keeps it until the file is closed,
  // instead of taking and giving it back, and checking the file for a
  // journal left behind, around every statement.
  bool heldWhileOpen = false;
  // The page size a new file is made with (0: SQLite's default). Files
  // made before keep theirs; a pack keeps it too.
  uint32_t pageSize = 0;

  // Record length as the declaration counts it: the sum of the field widths,
  // memos not included.
  uint32_t recordLength() const;
  int fieldIndex(std::string_view name) const;
  int keyIndex(std::string_view name) const;
  // Column name of a field element in a table ("ALTADDRESS_3" for arrays).
  std::string columnName(int field, uint32_t element) const;
  // Canonical text of the record layout, stored in every file to detect a
  // file written under another declaration.
  std::string layoutSignature() const;
  // The keys' canonical text: the texts of the single keys, each followed by ";".
  std::string keySignature() const;
  std::string keySignature(size_t key) const;
};

// Reading and writing the record buffer through the descriptors.
void clearRecord(const FileDecl& d);
FieldValue getField(const FileDecl& d, int field, uint32_t element = 0);
void setField(const FileDecl& d, int field, uint32_t element, const FieldValue& v);
// A field element is empty when it is blank text or zero.
bool fieldIsEmpty(const FileDecl& d, int field, uint32_t element = 0);

// Byte copies of a record buffer, memos included, for procedures that must save
// and restore a buffer around interleaved reads.
struct RecordImage {
  std::vector<FieldValue> values;
};
RecordImage saveRecord(const FileDecl& d);
void restoreRecord(const FileDecl& d, const RecordImage& img);
bool sameRecord(const FileDecl& d, const RecordImage& a, const RecordImage& b);

// Builds a FileDecl from the record struct: the field type, width and array
// dimension follow from the member's C++ type.
//   DeclBuilder<MsgNmbrRec> b(decl, MSG);
//   b.field("MSGNUMBER", &MsgNmbrRec::MSGNUMBER);
//   b.key("IdKey", {{"MSGNUMBER", true}}, KeyUnique | KeyPrimary);
enum KeyFlags : unsigned {
  KeyDup = 0,
  KeyUnique = 1,
  KeyNoCase = 2,
  KeyPrimary = 4,
  KeyExcludeEmpty = 8,
  KeyOnDemand = 16,
};

template <typename T> struct FieldTraits;
template <> struct FieldTraits<uint8_t> { static constexpr FieldType type = FieldType::Byte; static constexpr uint32_t size = 1; };
template <> struct FieldTraits<int32_t> { static constexpr FieldType type = FieldType::Long; static constexpr uint32_t size = 4; };
template <> struct FieldTraits<uint32_t> { static constexpr FieldType type = FieldType::ULong; static constexpr uint32_t size = 4; };
template <> struct FieldTraits<double> { static constexpr FieldType type = FieldType::Real; static constexpr uint32_t size = 8; };
template <size_t N> struct FieldTraits<Str<N>> { static constexpr FieldType type = FieldType::String; static constexpr uint32_t size = N; };

template <typename Rec>
class DeclBuilder {
 public:
  DeclBuilder(FileDecl& d, Rec& buffer) : d_(d), buf_(buffer) { d_.buffer = &buffer; }

  template <typename T>
  DeclBuilder& field(const std::string& name, T Rec::*m) {
    add(name, FieldTraits<T>::type, FieldTraits<T>::size, 1, offset(m), 0);
    return *this;
  }
  template <typename T, size_t K>
  DeclBuilder& field(const std::string& name, std::array<T, K> Rec::*m) {
    size_t off = offset(m);
    add(name, FieldTraits<T>::type, FieldTraits<T>::size, K, off, sizeof(T));
    return *this;
  }
  DeclBuilder& memo(const std::string& name, std::string Rec::*m, uint32_t maxSize) {
    add(name, FieldType::Memo, maxSize, 1, offset(m), 0);
    return *this;
  }
  // The last declared field's external name and type hint, and its OEM text.
  DeclBuilder& external(const std::string& nameAndHint) {
    d_.fields.back().external = nameAndHint;
    return *this;
  }
  DeclBuilder& oem() {
    d_.fields.back().oem = true;
    return *this;
  }
  // Marks the fields declared between begin and end as one GROUP.
  DeclBuilder& beginGroup(const std::string& name) {
    group_ = name;
    groupStart_ = static_cast<int>(d_.fields.size());
    return *this;
  }
  DeclBuilder& endGroup() {
    d_.groups.push_back({group_, groupStart_, static_cast<int>(d_.fields.size()) - 1});
    group_.clear();
    return *this;
  }
  struct Part {
    const char* field;
    bool descending = false;
  };
  DeclBuilder& key(const std::string& name, std::initializer_list<Part> parts, unsigned flags) {
    KeyDesc k;
    k.name = name;
    for (const Part& p : parts) {
      int f = d_.fieldIndex(p.field);
      if (f < 0) throw std::logic_error("key " + name + " names unknown field " + p.field);
      k.parts.push_back({f, p.descending});
    }
    k.unique = flags & KeyUnique;
    k.nocase = flags & KeyNoCase;
    k.primary = flags & KeyPrimary;
    k.excludeEmpty = flags & KeyExcludeEmpty;
    k.onDemand = flags & KeyOnDemand;
    d_.keys.push_back(std::move(k));
    return *this;
  }

 private:
  template <typename M>
  size_t offset(M Rec::*m) const {
    return reinterpret_cast<const char*>(&(buf_.*m)) - reinterpret_cast<const char*>(&buf_);
  }
  void add(const std::string& name, FieldType t, uint32_t size, uint32_t dim, size_t off, size_t stride) {
    d_.fields.push_back({name, t, size, dim, off, stride, group_, {}, false});
  }
  FileDecl& d_;
  Rec& buf_;
  std::string group_;
  int groupStart_ = 0;
};

}  // namespace qv
