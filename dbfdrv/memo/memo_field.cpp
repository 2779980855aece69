#include "memo/memo_field.h"

#include <cstdio>

#include "table/engine_status.h"

namespace dbf {

std::string memoFieldText(uint32_t block) {
  char text[16];
  std::snprintf(text, sizeof text, "%10lu", static_cast<unsigned long>(block));
  return text;
}

bool memoFieldBlock(std::string_view field, uint32_t& block) {
  auto isPad = [](char c) { return c == ' ' || c == '\0'; };
  size_t begin = 0, end = field.size();
  while (begin < end && isPad(field[begin])) ++begin;
  while (end > begin && isPad(field[end - 1])) --end;
  uint64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    if (field[i] < '0' || field[i] > '9') return false;
    value = value * 10 + uint64_t(field[i] - '0');
    if (value > UINT32_MAX) return false;
  }
  block = uint32_t(value);
  return true;
}

std::string_view memoStoredText(std::string_view buffer, bool raw) {
  if (raw) return buffer;
  size_t end = buffer.size();
  while (end > 0 && (buffer[end - 1] == ' ' || buffer[end - 1] == '\0')) --end;
  return buffer.substr(0, end);
}

int memoLoad(MemoFile& memo, uint32_t block, std::string& buffer, bool* rawMemo) {
  std::fill(buffer.begin(), buffer.end(), ' ');
  if (rawMemo) *rawMemo = false;
  if (block == 0) return StatusOk;
  MemoData data;
  int status = memoRead(memo, block, buffer.size(), data);
  if (status != StatusOk) return status;
  buffer.replace(0, data.bytes.size(), data.bytes);
  if (rawMemo) *rawMemo = data.raw();
  return StatusOk;
}

int memoStore(MemoFile& memo, std::string_view buffer, bool raw, uint32_t oldBlock, bool writeBack,
              uint32_t& block) {
  std::string_view text = memoStoredText(buffer, raw);
  if (text.empty()) {
    block = 0;
    return StatusOk;
  }
  return memoWrite(memo, text, raw ? MemoTypeRaw : MemoTypeText, oldBlock, writeBack, block);
}

}  // namespace dbf
