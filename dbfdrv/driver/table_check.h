// Looking into a DBF table as the driver reads it: the checks of `qvcli dbf
// --check` (header, record count against the file size, deletion flags and
// memo pointers) and the memo file that belongs to a table.
#pragma once

#include <string>
#include <vector>

#include "table/table.h"

namespace dbf {

struct TableCheck {
  std::vector<std::string> faults;  // what is wrong with the table
  std::vector<std::string> notes;   // what the reader took beyond the written rules
};

// Checks a table (and its memo file, when it has memo fields).
TableCheck checkTable(const std::string& path);

// The memo file beside a table for its memo kind, found in any letter case;
// empty when there is none.
std::string findMemoFile(const std::string& tablePath, TableMemo memo);

// The block size of a memo file (FPT: from its header; DBT: 512), or 0 when
// it cannot be read.
uint32_t memoFileBlockSize(const std::string& memoPath, TableMemo memo);

}  // namespace dbf
