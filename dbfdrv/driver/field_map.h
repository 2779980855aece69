// Declared fields and DBF fields: the mapping by position, the type hints of
// external names, the field list of a new table and the conversions of
// values between the record buffer and a DBF record.
#pragma once

#include <string>
#include <vector>

#include "driver/file_block.h"

namespace dbf {

// A declared field's external name split into the DBF name and type hint.
struct FieldHint {
  std::string name;  // empty when the declaration names none
  char type = 0;     // 0 when no type is given
  uint32_t length = 0;
  uint8_t decimals = 0;
  bool valid = true;
};
FieldHint parseHint(const std::string& external);

// The DBF fields of a new table from the declaration; a file-layer number
// (75 when a 'M' field has no declared memo, 79 for an unsupported type).
int fieldsForCreate(const qv::FileDecl& decl, std::vector<FieldDef>& fields, std::string& message);

// Maps the declaration onto an open table's fields; a file-layer number
// (47 names or count differ, 75 types incompatible, 79 unsupported). A table
// opened for reading only may lack declared fields at the declaration's end:
// they stay unmapped and read as their empty value.
int mapFields(FileBlock& b, const TableInfo& info);

// DBF record -> record buffer (memos not included). Answers the first engine
// condition met (0 when none).
int recordToBuffer(FileBlock& b, const std::string& record);
// Record buffer -> DBF record (memo block fields not included): an engine
// status (-233 for a value the field cannot hold, 205 when a text was cut).
int bufferToRecord(FileBlock& b, std::string& record);

// Text of one DBF field value the way readers show it: C trimmed of trailing
// blanks and NULs, N/F as the number's text (blank: empty), D as YYYYMMDD
// (blank: empty), L as "T", "F" or "" (undetermined), I/Y/B/T/O/@/+ decoded,
// memo fields as the block number. `memo` is set for memo references.
std::string fieldText(const TableInfo& info, const FieldDef& f, const char* data, bool& isMemo, uint32_t& block);

// The numeric value of an N/F text (blanks, NUL and "*" padding ignored);
// false when there is no number.
bool parseNumber(const char* data, size_t length, double& value);

}  // namespace dbf
