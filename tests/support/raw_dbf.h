// DBF tables as bytes, for tests: a plain reader of a table's header, field
// descriptors and record fields (no checks beyond staying inside the file),
// and a writer of tables in the layout the driver writes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvtest {

struct RawDbfField {
  std::string name;
  char type = 'C';
  unsigned length = 0;
  unsigned decimals = 0;
  unsigned offset = 0;  // inside the record; the deletion flag is byte 0
};

class RawDbf {
 public:
  // Reads a table; false when the file is missing or too short for its header.
  bool load(const std::string& path);
  unsigned char version() const { return version_; }
  uint32_t recordCount() const { return records_; }
  const std::vector<RawDbfField>& fields() const { return fields_; }
  const RawDbfField* field(std::string_view name) const;
  // The bytes of a field of record n (0-based); empty when outside the file.
  std::string_view value(uint32_t n, std::string_view name) const;
  bool deleted(uint32_t n) const;
  // The memo block a memo field holds: binary in 4-byte fields, decimal text
  // otherwise (blanks = 0).
  uint32_t memoBlock(uint32_t n, std::string_view name) const;

 private:
  std::string bytes_;
  unsigned char version_ = 0;
  uint32_t records_ = 0;
  unsigned headerLength_ = 0, recordLength_ = 0;
  std::vector<RawDbfField> fields_;
};

// A table as the driver writes it: version byte, today's date, the fields
// (lengths of character fields above 255 keep their high byte in the
// decimals byte), 0x0D, the records (each a deletion flag and the field
// texts, padded or cut to the field lengths) and 0x1A.
struct RawDbfRecord {
  bool deleted = false;
  std::vector<std::string> values;  // one per field, in field order
};
std::string dbfBytes(unsigned char version, const std::vector<RawDbfField>& fields,
                     const std::vector<RawDbfRecord>& records);

}  // namespace qvtest
