// New tables: the create rules of the two dialects and the header written.
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

#include "table/table_internal.h"

namespace dbf {

namespace {

constexpr uint32_t kMaxNumericFoxPro = 20;
constexpr uint32_t kMaxNumericFoxBase = 19;
constexpr uint8_t kMaxDecimalsFoxBase = 15;
constexpr uint32_t kDateLength = 8;
constexpr uint32_t kLogicalLength = 1;

}  // namespace

int checkFields(int dialect, std::vector<FieldDef>& fields, uint32_t& recordLength) {
  int most = dialect == DialectFoxBase ? kMaxFieldsFoxBase : kMaxFieldsFoxPro;
  if (fields.empty() || int(fields.size()) > most) return ErrInvalidNumberOfFields;
  uint32_t offset = 1;
  for (FieldDef& f : fields) {
    if (f.name.empty() || f.name.size() > size_t(kMaxFieldNameLength)) return ErrFieldNameInvalid;
    for (char& c : f.name) {
      if (c == '\0') return ErrFieldNameInvalid;
      c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    f.type = char(std::toupper(static_cast<unsigned char>(f.type)));
    switch (f.type) {
      case 'C':
        // Longer than 255: the high byte of the length goes to the decimal
        // count, as the reader expects; the record limit bounds it.
        if (f.length < 1 || f.length >= kMaxRecordLength) return ErrBadFieldLength;
        f.decimals = 0;
        break;
      case 'D': f.length = kDateLength; f.decimals = 0; break;
      case 'L': f.length = kLogicalLength; f.decimals = 0; break;
      case 'M': f.length = kMemoFieldWidth; f.decimals = 0; break;
      case 'F':
        if (dialect == DialectFoxBase) return ErrInvalidFieldType;
        [[fallthrough]];
      case 'N': {
        uint32_t longest = dialect == DialectFoxBase ? kMaxNumericFoxBase : kMaxNumericFoxPro;
        if (f.length < 1 || f.length > longest) return ErrBadFieldLength;
        if (f.decimals > 0 && (f.length < 2 || f.decimals > f.length - 2)) return ErrDecimalPlacesParameterInvalid;
        if (dialect == DialectFoxBase && f.decimals > kMaxDecimalsFoxBase) return ErrDecimalPlacesParameterInvalid;
        int intDigits = int(f.length) - (f.decimals ? int(f.decimals) + 1 : 0);
        f.maxValue = std::pow(10.0, intDigits) - std::pow(10.0, -int(f.decimals));
        break;
      }
      default:
        return ErrInvalidFieldType;
    }
    f.offset = offset;
    offset += f.length;
    if (offset > kMaxRecordLength) return ErrInvalidRecordLength;
  }
  recordLength = offset;
  return StatusOk;
}

int tableCreate(const std::string& path, int dialect, std::vector<FieldDef> fields, bool compoundIndex) {
  if (path.empty()) return ErrInvalidFilename;
  uint32_t recordLength = 0;
  if (int s = checkFields(dialect, fields, recordLength); s < 0) return s;
  bool memo = false;
  for (const FieldDef& f : fields) memo |= f.type == 'M';
  uint32_t headerLength = 32 * uint32_t(fields.size()) + 33;
  std::string b(headerLength + 1, '\0');
  b[0] = char(!memo ? kVersionNoMemo : dialect == DialectFoxBase ? kVersionFoxBaseMemo : kVersionFoxProMemo);
  std::time_t now = std::time(nullptr);
  std::tm tm {};
  localtime_r(&now, &tm);
  b[1] = char(uint8_t(tm.tm_year));
  b[2] = char(uint8_t(tm.tm_mon + 1));
  b[3] = char(uint8_t(tm.tm_mday));
  b[8] = char(headerLength & 0xFF);
  b[9] = char(headerLength >> 8);
  b[10] = char(recordLength & 0xFF);
  b[11] = char(recordLength >> 8);
  b[28] = char(compoundIndex ? 1 : 0);
  size_t at = 32;
  for (const FieldDef& f : fields) {
    std::memcpy(&b[at], f.name.data(), f.name.size());
    b[at + 11] = f.type;
    b[at + 16] = char(f.length & 0xFF);
    b[at + 17] = char(f.type == 'C' ? f.length >> 8 : f.decimals);
    at += 32;
  }
  b[at] = char(kHeaderTerminator);
  b[at + 1] = char(kEndOfFile);
  // an existing file is never replaced: it may be another table's
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return pathStatus(path, errno);
  int s = writeAt(fd, 0, b.data(), b.size());
  if (s == StatusOk && ::fsync(fd) != 0) s = ErrFlushToDiskFailure;
  ::close(fd);
  if (s != StatusOk) ::unlink(path.c_str());
  return s;
}

}  // namespace dbf
