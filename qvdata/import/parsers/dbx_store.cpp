#include "import/parsers/dbx_store.h"

#include <algorithm>
#include <iterator>

namespace qv::dbx {

namespace {

constexpr uint32_t kHeaderCount = 0xC4;   // messages in the store
constexpr uint32_t kHeaderRoot = 0xE4;    // root node of the index tree
constexpr size_t kHeaderRead = kHeaderRoot + 4;
constexpr size_t kNodeHeader = 0x18;
constexpr size_t kNodeEntry = 12;
constexpr unsigned kNodeMaxEntries = 0x33;  // what fits in a node's 0x27c bytes
constexpr size_t kInfoHeader = 12;
constexpr uint32_t kInfoMaxBody = 1u << 16;  // a message info is a few hundred bytes
constexpr unsigned kIndexText = 4;           // the info entry giving the text's first block
constexpr size_t kBlockHeader = 16;
constexpr uint32_t kBlockMaxRoom = 1u << 16;  // blocks hold 0x200 bytes of text

uint32_t u32(std::string_view s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
         uint32_t(uint8_t(s[at + 3])) << 24;
}

std::string at(uint32_t offset) { return "at byte " + std::to_string(offset); }

}  // namespace

StoreKind kindOf(std::string_view first8) {
  if (first8.substr(0, 4) != kSignature) return StoreKind::NotDbx;
  if (first8.size() < 8) return StoreKind::Unknown;
  std::string_view mark = first8.substr(4, 4);
  if (mark == std::string_view("\xC5\xFD\x74\x6F", 4)) return StoreKind::Messages;
  if (mark == std::string_view("\xC6\xFD\x74\x6F", 4)) return StoreKind::Folders;
  if (mark == std::string_view("\xC7\xFD\x74\x6F", 4)) return StoreKind::Pop3List;
  if (mark == std::string_view("\x30\x9D\xFE\x26", 4)) return StoreKind::Offline;
  return StoreKind::Unknown;
}

std::string kindText(StoreKind kind) {
  switch (kind) {
    case StoreKind::Folders: return "the folder list of Outlook Express (Folders.dbx), which holds no messages";
    case StoreKind::Pop3List: return "the list of messages left on the mail server (Pop3uidl.dbx), which holds no messages";
    case StoreKind::Offline: return "the list of offline work of Outlook Express (Offline.dbx), which holds no messages";
    case StoreKind::Unknown: return "an Outlook Express store of an unknown kind, not a message store";
    case StoreKind::Messages: return "an Outlook Express message store";
    case StoreKind::NotDbx: break;
  }
  return "not an Outlook Express store";
}

bool MessageStore::readAt(uint32_t offset, size_t n, std::string& out) {
  out.clear();
  r_.seek(offset);
  if (r_.read(out, n) != n) return false;
  consumed_ += int64_t(n);
  end_ = std::max(end_, int64_t(offset) + int64_t(n));
  return true;
}

bool MessageStore::open(std::string& problem) {
  std::string head;
  r_.rewind();
  if (r_.read(head, kHeaderRead) != kHeaderRead) {
    problem = "the store's header is cut short";
    return false;
  }
  consumed_ = int64_t(kHeaderRead);
  end_ = int64_t(kHeaderRead);
  textTotal_ = 0;
  headerCount_ = u32(head, kHeaderCount);
  root_ = u32(head, kHeaderRoot);
  stack_.clear();
  nodes_.clear();
  infos_.clear();
  treeProblems_.clear();
  open_ = true;
  if (root_ != 0 && !pushNode(root_, 0)) {
    problem = treeProblems_.back();
    return false;
  }
  return true;
}

bool MessageStore::pushNode(uint32_t offset, uint32_t parent) {
  auto fail = [&](const std::string& why) {
    treeProblems_.push_back("the index node " + at(offset) +
                            (parent ? " (below the node " + at(parent) + ")" : std::string()) + " " + why +
                            "; the messages it lists are not read");
    return false;
  };
  if (offset < kHeaderRead) return fail("lies inside the store's header");
  if (!nodes_.insert(offset).second) return fail("is met a second time (a loop in the tree)");
  std::string head;
  if (!readAt(offset, kNodeHeader, head)) return fail("lies beyond the end of the file");
  if (u32(head, 0) != offset) return fail("does not begin with its own offset");
  unsigned count = uint8_t(head[0x11]);
  if (count > kNodeMaxEntries) return fail("claims " + std::to_string(count) + " entries");
  std::string body;
  if (!readAt(offset + kNodeHeader, count * kNodeEntry, body)) return fail("runs beyond the end of the file");
  Frame f;
  f.node = offset;
  f.children.push_back(u32(head, 8));
  for (unsigned i = 0; i < count; ++i) {
    f.values.push_back(u32(body, i * kNodeEntry));
    f.children.push_back(u32(body, i * kNodeEntry + 4));
  }
  stack_.push_back(std::move(f));
  return true;
}

// In order: the child before the first value, the value, the child after
// it, the next value ... A node's children are pushed when reached, so the
// stack holds one node per level.
bool MessageStore::nextValue(uint32_t& value) {
  while (!stack_.empty()) {
    Frame& f = stack_.back();
    // children[i] comes before values[i]; `at` counts the steps taken:
    // even steps descend into children[at/2], odd ones give values[at/2].
    size_t step = f.at++;
    size_t i = step / 2;
    if (step % 2 == 0) {
      if (i >= f.children.size()) {
        stack_.pop_back();
        continue;
      }
      uint32_t child = f.children[i];
      if (child != 0) pushNode(child, f.node);  // `f` may move: not used after this
      continue;
    }
    if (i >= f.values.size()) {
      stack_.pop_back();
      continue;
    }
    value = f.values[i];
    return true;
  }
  return false;
}

MessageStore::Got MessageStore::next(const std::function<void(std::string_view)>& sink, std::string& problem) {
  problem.clear();
  uint32_t info = 0;
  if (!open_ || !nextValue(info)) return Got::End;
  return readMessage(info, sink, problem);
}

bool MessageStore::textPointer(uint32_t info, uint32_t& text, std::string& problem) {
  text = 0;
  std::string head;
  if (info < kHeaderRead || !readAt(info, kInfoHeader, head)) {
    problem = "its entry " + at(info) + " lies outside the file";
    return false;
  }
  if (u32(head, 0) != info) {
    problem = "its entry " + at(info) + " does not begin with its own offset";
    return false;
  }
  uint32_t length = u32(head, 4);
  unsigned count = uint8_t(head[10]);
  if (length > kInfoMaxBody || size_t(count) * 4 > length) {
    problem = "its entry " + at(info) + " gives impossible lengths";
    return false;
  }
  std::string body;
  if (!readAt(info + kInfoHeader, length, body)) {
    problem = "its entry " + at(info) + " runs beyond the end of the file";
    return false;
  }
  size_t data = size_t(count) * 4;
  for (unsigned i = 0; i < count; ++i) {
    uint32_t entry = u32(body, size_t(i) * 4);
    if ((entry & 0x7F) != kIndexText) continue;
    uint32_t value = entry >> 8;
    if (entry & 0x80) {
      text = value;
      return true;
    }
    if (value > length - data || length - data - value < 4) {
      problem = "its entry " + at(info) + " points past its own end";
      return false;
    }
    text = u32(body, data + value);
    return true;
  }
  return true;  // no text kept
}

MessageStore::Got MessageStore::readMessage(uint32_t info, const std::function<void(std::string_view)>& sink,
                                            std::string& problem) {
  if (!infos_.insert(info).second) {
    problem = "its entry " + at(info) + " is listed twice in the index";
    return Got::Damaged;
  }
  uint32_t block = 0;
  if (!textPointer(info, block, problem)) return Got::Damaged;
  if (block == 0) return Got::NoText;
  bool any = false;
  auto broke = [&](const std::string& why) {
    problem = "its text block " + at(block) + " " + why;
    return any ? Got::Message : Got::Damaged;
  };
  std::string head;
  std::string text;
  std::map<uint32_t, uint32_t> chain;  // the blocks of this message: offset -> end
  while (block != 0) {
    if (block < kHeaderRead) return broke("lies inside the store's header");
    if (!readAt(block, kBlockHeader, head)) return broke("lies beyond the end of the file");
    if (u32(head, 0) != block) return broke("does not begin with its own offset");
    uint32_t room = u32(head, 4);
    uint32_t length = u32(head, 8);
    if (room > kBlockMaxRoom || length > room) return broke("gives impossible lengths");
    // A chain that comes back to one of its blocks, or into one, is a loop.
    uint32_t end = block + uint32_t(kBlockHeader) + length;
    if (end < block) return broke("runs beyond the end of the file");
    auto after = chain.lower_bound(block);
    bool overlaps = (after != chain.end() && after->first < end) ||
                    (after != chain.begin() && std::prev(after)->second > block);
    if (overlaps) return broke("is met a second time (a loop in the chain of blocks)");
    if (!readAt(block + uint32_t(kBlockHeader), length, text)) return broke("runs beyond the end of the file");
    // The blocks of a sound store do not overlap, so all their text fits in
    // the bytes read up to here; more means messages share blocks, and the
    // store is not read over and over.
    if (textTotal_ + length > uint64_t(end_)) return broke("holds text of other messages too");
    textTotal_ += length;
    chain.emplace(block, end);
    if (!text.empty()) sink(text);
    any = any || !text.empty();
    block = u32(head, 12);
  }
  return any ? Got::Message : Got::NoText;
}

}  // namespace qv::dbx
