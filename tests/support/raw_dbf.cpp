#include "support/raw_dbf.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace qvtest {
namespace {

unsigned le16(const std::string& b, size_t at) {
  return unsigned(static_cast<unsigned char>(b[at])) | unsigned(static_cast<unsigned char>(b[at + 1])) << 8;
}
uint32_t le32(std::string_view b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + size_t(i)]);
  return v;
}

}  // namespace

bool RawDbf::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (bytes_.size() < 32) return false;
  version_ = static_cast<unsigned char>(bytes_[0]);
  records_ = le32(bytes_, 4);
  headerLength_ = le16(bytes_, 8);
  recordLength_ = le16(bytes_, 10);
  fields_.clear();
  unsigned offset = 1;
  for (size_t at = 32; at + 32 <= headerLength_ && at + 32 <= bytes_.size() && bytes_[at] != '\r'; at += 32) {
    RawDbfField f;
    f.name.assign(bytes_.data() + at, strnlen(bytes_.data() + at, 11));
    f.type = bytes_[at + 11];
    f.length = static_cast<unsigned char>(bytes_[at + 16]);
    f.decimals = static_cast<unsigned char>(bytes_[at + 17]);
    if (f.type == 'C') f.length += 256 * f.decimals, f.decimals = 0;
    f.offset = offset;
    offset += f.length;
    fields_.push_back(f);
  }
  return true;
}

const RawDbfField* RawDbf::field(std::string_view name) const {
  for (const RawDbfField& f : fields_)
    if (f.name == name) return &f;
  return nullptr;
}

std::string_view RawDbf::value(uint32_t n, std::string_view name) const {
  const RawDbfField* f = field(name);
  size_t at = size_t(headerLength_) + size_t(n) * recordLength_;
  if (!f || at + recordLength_ > bytes_.size()) return {};
  return std::string_view(bytes_).substr(at + f->offset, f->length);
}

bool RawDbf::deleted(uint32_t n) const {
  size_t at = size_t(headerLength_) + size_t(n) * recordLength_;
  return at < bytes_.size() && bytes_[at] == '*';
}

uint32_t RawDbf::memoBlock(uint32_t n, std::string_view name) const {
  std::string_view v = value(n, name);
  if (v.size() == 4) return le32(v, 0);
  uint32_t block = 0;
  for (char c : v)
    if (c >= '0' && c <= '9') block = block * 10 + uint32_t(c - '0');
  return block;
}

std::string dbfBytes(unsigned char version, const std::vector<RawDbfField>& fields,
                     const std::vector<RawDbfRecord>& records) {
  unsigned recordLength = 1;
  for (const RawDbfField& f : fields) recordLength += f.length;
  unsigned headerLength = 32 * unsigned(fields.size()) + 33;
  std::string out(32, '\0');
  out[0] = char(version);
  out[1] = char(99), out[2] = char(12), out[3] = char(9);  // 1999-12-09: a year byte every reader takes
  for (int i = 0; i < 4; ++i) out[4 + size_t(i)] = char(records.size() >> (8 * i));
  out[8] = char(headerLength), out[9] = char(headerLength >> 8);
  out[10] = char(recordLength), out[11] = char(recordLength >> 8);
  for (const RawDbfField& f : fields) {
    std::string d(32, '\0');
    std::memcpy(d.data(), f.name.data(), std::min<size_t>(f.name.size(), 10));
    d[11] = f.type;
    d[16] = char(f.length & 0xFF);
    d[17] = char(f.type == 'C' ? f.length >> 8 : f.decimals);
    out += d;
  }
  out += '\r';
  for (const RawDbfRecord& r : records) {
    out += r.deleted ? '*' : ' ';
    for (size_t i = 0; i < fields.size(); ++i) {
      std::string v = i < r.values.size() ? r.values[i] : std::string();
      v.resize(fields[i].length, ' ');
      out += v;
    }
  }
  out += '\x1A';
  return out;
}

}  // namespace qvtest
