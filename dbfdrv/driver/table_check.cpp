#include "driver/table_check.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "driver/field_map.h"
#include "memo/memo_file.h"

namespace dbf {

namespace {

constexpr uint32_t kDbtBlock = 512;
constexpr uint32_t kFptHeader = 512;

std::string upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool isMemoField(const TableInfo& info, const FieldDef& f) {
  if (f.type == 'M' || f.type == 'G' || f.type == 'P' || f.type == 'W') return true;
  bool vfp = info.version == 0x30 || info.version == 0x31 || info.version == 0x32;
  return f.type == 'B' && !vfp;
}

}  // namespace

std::string findMemoFile(const std::string& tablePath, TableMemo memo) {
  if (memo == TableMemo::None) return {};
  std::string want = withExtension(tablePath, memo == TableMemo::Fpt ? ".FPT" : ".DBT");
  std::error_code ec;
  if (std::filesystem::exists(want, ec)) return want;
  std::filesystem::path p(want);
  std::filesystem::path dir = p.has_parent_path() ? p.parent_path() : std::filesystem::path(".");
  std::string name = upper(p.filename().string());
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (upper(e.path().filename().string()) == name) return e.path().string();
  return {};
}

uint32_t memoFileBlockSize(const std::string& memoPath, TableMemo memo) {
  if (memo != TableMemo::Fpt) return kDbtBlock;
  std::ifstream in(memoPath, std::ios::binary);
  unsigned char h[8] = {};
  if (!in.read(reinterpret_cast<char*>(h), sizeof h)) return 0;
  return uint32_t(h[6]) << 8 | h[7];
}

TableCheck checkTable(const std::string& path) {
  TableCheck out;
  int handle = 0;
  int st = tableOpen(path, DialectFoxPro, OpenReadOnly, handle);
  if (st < 0) {
    out.faults.push_back(std::string("the table cannot be read: ") + statusText(st));
    return out;
  }
  const TableInfo& info = *tableInfo(handle);
  for (unsigned bit = 1; bit < (1u << kWideningCount); bit <<= 1)
    if (info.widenings & bit) out.notes.push_back(wideningText(bit));
  int64_t data = int64_t(info.headerLength) + int64_t(info.records) * info.recordLength;
  if (info.widenings & WidenFileSize) {
    out.faults.push_back("the header counts more records than the file holds (" + std::to_string(info.fileSize) +
                         " bytes hold " + std::to_string(info.records) + ")");
  } else if (info.sizeCondition) {
    out.faults.push_back("the file has " + std::to_string(info.fileSize) + " bytes; header and records make " +
                         std::to_string(data) + " (with the end-of-file byte " + std::to_string(data + 1) + ")");
  }
  std::vector<size_t> memoFields;
  for (size_t i = 0; i < info.fields.size(); ++i)
    if (isMemoField(info, info.fields[i])) memoFields.push_back(i);
  std::string memoPath;
  MemoFile memoFile;
  uint64_t memoSize = 0;
  uint32_t blockSize = 0;
  if (!memoFields.empty()) {
    memoPath = findMemoFile(path, info.memo);
    std::error_code ec;
    if (memoPath.empty()) {
      out.faults.push_back("the memo file " + withExtension(path, info.memo == TableMemo::Fpt ? ".FPT" : ".DBT") +
                           " is missing");
    } else {
      memoSize = std::filesystem::file_size(memoPath, ec);
      blockSize = memoFileBlockSize(memoPath, info.memo);
      if (blockSize == 0) out.faults.push_back("the memo file " + memoPath + " has no block size");
      int opened = memoOpen(memoFile, memoPath, info.memo == TableMemo::Fpt ? MemoKind::Fpt : MemoKind::Dbt,
                            MemoAccess::ReadOnly);
      if (opened < 0 && blockSize != 0)
        out.faults.push_back("the memo file " + memoPath + " cannot be read: " + statusText(opened));
    }
  }
  std::string rec;
  for (uint32_t n = 1; n <= info.records; ++n) {
    st = tableRead(handle, n, rec);
    if (st < 0) {
      out.faults.push_back("record " + std::to_string(n) + " cannot be read: " + statusText(st));
      break;
    }
    if (rec[0] != ' ' && rec[0] != '*') {
      char flag[8];
      std::snprintf(flag, sizeof flag, "0x%02X", uint8_t(rec[0]));
      out.faults.push_back("record " + std::to_string(n) + " has the deletion flag " + flag);
    }
    if (memoPath.empty() || blockSize == 0) continue;
    for (size_t i : memoFields) {
      const FieldDef& f = info.fields[i];
      bool memo = false;
      uint32_t block = 0;
      std::string text = fieldText(info, f, rec.data() + f.offset, memo, block);
      if (block == 0) {
        if (!text.empty() || (f.length != 4 && std::string(rec, f.offset, f.length).find_first_not_of(std::string(" 0\0", 3)) != std::string::npos))
          out.faults.push_back("record " + std::to_string(n) + " field " + f.name + " holds no block number");
        continue;
      }
      uint64_t at = uint64_t(block) * blockSize;
      bool inHeader = info.memo == TableMemo::Fpt ? at < kFptHeader : false;
      std::string where = "record " + std::to_string(n) + " field " + f.name;
      if (inHeader || at >= memoSize) {
        out.faults.push_back(where + " points at block " + std::to_string(block) + ", outside the memo file's blocks");
        continue;
      }
      // the memo itself, as a read of the record would take it
      if (!memoFile.isOpen()) continue;
      MemoData stored;
      int read = memoRead(memoFile, block, kMemoNoLimit, stored);
      if (read == ErrFileCorrupted)
        out.faults.push_back(where + ": the memo at block " + std::to_string(block) +
                             " runs past the end of the memo file");
      else if (read == ErrSeekFailed)
        out.faults.push_back(where + " points at block " + std::to_string(block) +
                             ", at or past the memo file's next free block");
      else if (read < 0)
        out.faults.push_back(where + ": the memo at block " + std::to_string(block) + " cannot be read: " +
                             statusText(read));
    }
  }
  if (memoFile.isOpen()) memoClose(memoFile);
  tableClose(handle);
  return out;
}

}  // namespace dbf
