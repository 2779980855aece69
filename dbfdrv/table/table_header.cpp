// Reading a table's header and field descriptors, with the checks of the
// written rules and what the reader takes beyond them from other writers.
#include <cctype>
#include <cmath>
#include <cstring>

#include "table/table.h"

namespace dbf {

namespace {

constexpr uint32_t kHeaderSize = 32;
constexpr uint32_t kDescriptorSize = 32;
// dBASE 7: a 68-byte header (language driver name and reserved bytes) and
// 48-byte descriptors with 32-byte names.
constexpr uint32_t kDbase7HeaderSize = 68;
constexpr uint32_t kDbase7DescriptorSize = 48;
constexpr uint32_t kDbase7NameSize = 32;
// dBASE II: a fixed 521-byte header with 16-byte descriptors from byte 8.
constexpr uint32_t kDbase2HeaderLength = 521;
constexpr uint32_t kDbase2DescriptorSize = 16;
constexpr uint32_t kDbase2FirstDescriptor = 8;
constexpr int kDbase2MaxFields = 32;
constexpr uint32_t kNameSize = 11;

// The header's year byte counts years since 1900 in most writers; a few
// count since 2000 (a byte below 80 with a 4-digit year meaning 20xx). Both
// are accepted; the full year is the byte plus 1900.
constexpr int kYearBase = 1900;
constexpr int kWrittenYearLow = 80;
constexpr int kWrittenYearHigh = 119;

constexpr uint8_t kVersionDbase2 = 0x02;
constexpr uint8_t kVersionDbase7 = 0x04;
constexpr uint8_t kVersionDbase7Memo = 0x8C;

uint32_t le16(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8;
}
uint32_t le32(const std::string& b, size_t at) {
  return le16(b, at) | le16(b, at + 2) << 16;
}

bool knownVersion(uint8_t v) {
  switch (v) {
    case 0x02: case 0x03: case 0x04: case 0x30: case 0x31: case 0x32: case 0x43: case 0x63:
    case 0x83: case 0x8B: case 0x8C: case 0xCB: case 0xF5: case 0xFB:
      return true;
    default:
      return false;
  }
}

bool writtenType(char t) {
  return t == 'C' || t == 'D' || t == 'N' || t == 'F' || t == 'L' || t == 'M';
}

// The name bytes up to the first NUL, folded to upper case (ASCII letters).
std::string fieldName(const std::string& b, size_t at, size_t size) {
  std::string name;
  for (size_t i = 0; i < size && b[at + i] != '\0'; ++i)
    name += char(std::toupper(static_cast<unsigned char>(b[at + i])));
  return name;
}

double largestValue(const FieldDef& f) {
  // length digits of 9 with the decimal point in place
  int intDigits = int(f.length) - (f.decimals ? int(f.decimals) + 1 : 0);
  if (intDigits < 0) intDigits = 0;
  return std::pow(10.0, intDigits) - std::pow(10.0, -int(f.decimals));
}

// Checks one field read from a descriptor; fills its offset.
int takeField(FieldDef& f, bool forWriting, TableInfo& info, uint32_t& offset) {
  size_t longest = info.widenings & WidenDbase7 ? kDbase7NameSize - 1 : forWriting ? kMaxFieldNameLength : kNameSize;
  if (f.name.empty() || f.name.size() > longest) return ErrFieldNameInvalid;
  if (!writtenType(f.type)) {
    if (forWriting) return ErrInvalidFieldType;
    info.widenings |= WidenFieldType;
  }
  if (f.type == 'C' && f.decimals != 0) {
    // a character field longer than 255 keeps the high byte of its length
    // in the decimal-count byte
    f.length += 256u * f.decimals;
    f.decimals = 0;
  }
  if (f.length == 0) return ErrBadFieldLength;
  if (f.type == 'N' || f.type == 'F') f.maxValue = largestValue(f);
  f.offset = offset;
  offset += f.length;
  return StatusOk;
}

int parseDbase2(const std::string& b, int64_t fileSize, TableInfo& info) {
  if (b.size() < kDbase2HeaderLength) return ErrFileHeaderLengthError;
  info.widenings |= WidenDbase2 | WidenVersion;
  info.records = le16(b, 1);
  info.month = uint8_t(b[3]);
  info.day = uint8_t(b[4]);
  info.year = kYearBase + uint8_t(b[5]);
  info.recordLength = le16(b, 6);
  info.headerLength = kDbase2HeaderLength;
  uint32_t offset = 1;
  for (int i = 0; i < kDbase2MaxFields; ++i) {
    size_t at = kDbase2FirstDescriptor + size_t(i) * kDbase2DescriptorSize;
    if (uint8_t(b[at]) == kHeaderTerminator) break;
    FieldDef f;
    f.name = fieldName(b, at, kNameSize);
    f.type = char(std::toupper(static_cast<unsigned char>(b[at + 11])));
    f.length = uint8_t(b[at + 12]);
    f.decimals = uint8_t(b[at + 15]);
    int st = takeField(f, false, info, offset);
    if (st < 0) return st;
    info.fields.push_back(std::move(f));
  }
  (void)fileSize;
  return StatusOk;
}

int parseDbase7(const std::string& b, TableInfo& info) {
  info.widenings |= WidenDbase7 | WidenVersion;
  if (info.headerLength < kDbase7HeaderSize + 1 || b.size() < info.headerLength) return ErrFileHeaderLengthError;
  uint32_t offset = 1;
  for (size_t at = kDbase7HeaderSize; at + kDbase7DescriptorSize <= info.headerLength; at += kDbase7DescriptorSize) {
    if (uint8_t(b[at]) == kHeaderTerminator) break;
    FieldDef f;
    f.name = fieldName(b, at, kDbase7NameSize);
    f.type = char(b[at + 32]);
    f.length = uint8_t(b[at + 33]);
    f.decimals = uint8_t(b[at + 34]);
    int st = takeField(f, false, info, offset);
    if (st < 0) return st;
    info.fields.push_back(std::move(f));
  }
  return StatusOk;
}

}  // namespace

const char* wideningText(unsigned bit) {
  switch (bit) {
    case WidenVersion: return "version byte of another writer";
    case WidenYear: return "last-update year byte outside 80..119";
    case WidenDate: return "last-update month or day of 0";
    case WidenTableFlags: return "table flags other than 0 or 1";
    case WidenTerminator: return "header longer than its descriptors";
    case WidenFieldType: return "field types beyond C D N F L M";
    case WidenRecordLength: return "record length differs from the fields' sum";
    case WidenMemoDialect: return "memo fields of the other dialect's memo file";
    case WidenDbase7: return "dBASE 7 header";
    case WidenDbase2: return "dBASE II header";
    case WidenFileSize: return "file shorter than its record count";
    case WidenFieldName: return "field name of 11 characters";
    default: return "";
  }
}

TableMemo memoKindOfVersion(uint8_t version) {
  switch (version) {
    case 0x83: return TableMemo::Dbt3;
    case 0x8B: case 0x8C: case 0xCB: return TableMemo::Dbt4;
    case 0xF5: case 0x30: case 0x31: case 0x32: case 0xFB: return TableMemo::Fpt;
    default: return TableMemo::None;
  }
}

bool writtenVersion(int dialect, uint8_t version) {
  if (version == kVersionNoMemo) return true;
  return dialect == DialectFoxBase ? version == kVersionFoxBaseMemo : version == kVersionFoxProMemo;
}

int sizeCondition(const TableInfo& info, int64_t fileSize) {
  int64_t data = int64_t(info.headerLength) + int64_t(info.records) * info.recordLength;
  if (fileSize == data || fileSize == data + 1 || fileSize == data + info.recordLength ||
      fileSize == data + info.recordLength + 1 || fileSize == 512)
    return StatusOk;
  return CondFileSize;
}

int parseHeader(const std::string& b, int64_t fileSize, int dialect, bool forWriting, TableInfo& info) {
  info.fields.clear();
  info.widenings = 0;
  info.dialect = dialect;
  if (b.size() < kHeaderSize) return ErrFileHeaderLengthError;
  info.version = uint8_t(b[0]);
  if (!writtenVersion(dialect, info.version)) {
    if (forWriting || !knownVersion(info.version)) return ErrInvalidVersion;
    info.widenings |= WidenVersion;
  }
  if (info.version == kVersionDbase2) {
    int st = parseDbase2(b, fileSize, info);
    if (st < 0) return st;
  } else {
    int yearByte = uint8_t(b[1]);
    info.month = uint8_t(b[2]);
    info.day = uint8_t(b[3]);
    // Any year byte is taken: tables written from 2020 on carry 120 and up.
    info.year = kYearBase + yearByte;
    if (yearByte < kWrittenYearLow || yearByte > kWrittenYearHigh) info.widenings |= WidenYear;
    if (info.month > 12 || info.day > 31) return ErrLastFileChangeDateInError;
    if (info.month == 0 || info.day == 0) {
      if (forWriting) return ErrLastFileChangeDateInError;
      info.widenings |= WidenDate;
    }
    info.records = le32(b, 4);
    info.headerLength = le16(b, 8);
    info.recordLength = le16(b, 10);
    info.tableFlags = uint8_t(b[28]);
    info.codePage = uint8_t(b[29]);
    if (dialect == DialectFoxPro && info.tableFlags > 1) {
      if (forWriting) return ErrMdxFlagInDbfFileInvalid;
      info.widenings |= WidenTableFlags;
    }
    if (info.version == kVersionDbase7 || info.version == kVersionDbase7Memo) {
      int st = parseDbase7(b, info);
      if (st < 0) return st;
    } else {
      if (info.headerLength < kHeaderSize + 1 || b.size() < info.headerLength) return ErrFileHeaderLengthError;
      uint32_t offset = 1;
      uint32_t most = (info.headerLength - kHeaderSize) / kDescriptorSize;
      bool terminated = false;
      for (uint32_t i = 0; i < most; ++i) {
        size_t at = kHeaderSize + size_t(i) * kDescriptorSize;
        if (uint8_t(b[at]) == kHeaderTerminator) {
          terminated = true;
          break;
        }
        if (std::memchr(&b[at], '\0', kNameSize) == nullptr) {
          // 11 characters or more; some writers fill all 11 bytes
          if (forWriting) return ErrFieldNameInvalid;
          info.widenings |= WidenFieldName;
        }
        FieldDef f;
        f.name = fieldName(b, at, kNameSize);
        f.type = char(b[at + 11]);
        f.length = uint8_t(b[at + 16]);
        f.decimals = uint8_t(b[at + 17]);
        int st = takeField(f, forWriting, info, offset);
        if (st < 0) return st;
        info.fields.push_back(std::move(f));
      }
      (void)terminated;
      if (info.headerLength != kHeaderSize * (info.fields.size() + 1) + 1) info.widenings |= WidenTerminator;
    }
  }
  info.memo = memoKindOfVersion(info.version);
  bool hasMemoField = false;
  for (const FieldDef& f : info.fields) hasMemoField |= f.type == 'M';
  if (hasMemoField) {
    TableMemo own = dialect == DialectFoxBase ? TableMemo::Dbt3 : TableMemo::Fpt;
    if (info.memo != own) {
      if (forWriting || info.memo == TableMemo::None) return ErrInvalidVersion;
      info.widenings |= WidenMemoDialect;
    }
  }
  uint32_t sum = 1;
  for (const FieldDef& f : info.fields) sum += f.length;
  if (info.recordLength == 0) return ErrInvalidRecordLength;
  if (sum != info.recordLength) {
    if (forWriting) return ErrInvalidRecordLength;
    info.widenings |= WidenRecordLength;
    // a writer that counted the record length wrong: the file's size shows
    // the records are as long as their fields
    int64_t bySum = int64_t(info.headerLength) + int64_t(info.records) * sum;
    int64_t byHeader = int64_t(info.headerLength) + int64_t(info.records) * info.recordLength;
    bool sumFits = fileSize == bySum || fileSize == bySum + 1;
    bool headerFits = fileSize == byHeader || fileSize == byHeader + 1;
    if (sumFits && !headerFits) info.recordLength = sum;
  }
  // Fields that run past the record would take their bytes from the next
  // record: such a table is refused, read or written.
  if (sum > info.recordLength) return ErrInvalidRecordLength;
  info.fileSize = fileSize;
  info.sizeCondition = sizeCondition(info, fileSize);
  int64_t held = fileSize - int64_t(info.headerLength);
  info.countBeyondFile = false;
  if (int64_t(info.records) * info.recordLength > held) {
    if (forWriting) {
      // kept as the header says, so that nothing is written on it
      info.countBeyondFile = true;
    } else {
      info.widenings |= WidenFileSize;
      info.records = held > 0 ? uint32_t(held / info.recordLength) : 0;
    }
  }
  return StatusOk;
}

}  // namespace dbf
