// Reading the message stores of Outlook Express 5 and later (".dbx").
//
// A store opens with the bytes CF AD 12 FE and a class mark saying what it
// holds: messages (C5 FD 74 6F), the folder tree (C6 FD 74 6F, the
// "Folders.dbx"), the POP3 message list (C7 FD 74 6F) or the offline work
// (30 9D FE 26, "Offline.dbx"). Only message stores hold mail or articles.
//
// All numbers are 32-bit little-endian, pointers are byte offsets in the
// file, and every object starts with its own offset (its marker). The file
// header gives the number of messages (at 0xC4) and the root node of the
// index tree (at 0xE4). A tree node is a 24-byte header (marker, -, the
// child node of the values before its first entry, the parent, node id,
// entry count, -, the values below that child) and up to 51 entries of 12
// bytes (a value, the child node of the values after it, their count). The
// values are pointers to message infos; read in order they give the
// messages as the store lists them.
//
// A message info is a 12-byte header (marker, body length, -, entry count,
// change count) and a body: `count` entries of 4 bytes (the low 7 bits of
// the first byte an index, its high bit "value here", 3 bytes of value),
// then the data the other entries point into. Index 4 is the offset of the
// message's text: the first of a chain of blocks, each with a 16-byte
// header (marker, room in the block, bytes of text in it, next block; 0
// ends the chain) followed by its text. The text is the message as
// received, CR LF line ends and all.
//
// Nothing in a store is trusted: a pointer outside the file or to a place
// that does not hold the object's marker, a node met twice (a loop in the
// tree), a block met twice or overlapping another of the same message (a
// loop in the chain), a length beyond the block or the file, more text in
// all than the bytes read (messages sharing blocks): each ends the reading
// of that node or message with a problem described, and the rest of the
// store is read on. Memory stays bounded: a message's text goes to the
// caller block by block, and what is kept of the store is a set of its
// nodes and message entries, not of its blocks.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "import/parsers/block_reader.h"

namespace qv::dbx {

// The four signature bytes of every Outlook Express 5 store.
inline constexpr std::string_view kSignature{"\xCF\xAD\x12\xFE", 4};

enum class StoreKind { NotDbx, Messages, Folders, Pop3List, Offline, Unknown };

// What the first 8 bytes of a file say it is.
StoreKind kindOf(std::string_view first8);
// How the user is told what a store that holds no messages is.
std::string kindText(StoreKind kind);

class MessageStore {
 public:
  explicit MessageStore(BlockReader& r) : r_(r) {}

  // Reads the file header. False when it cannot be read (the problem says
  // why); the store then yields nothing.
  bool open(std::string& problem);

  enum class Got {
    Message,  // `sink` was given the text; `problem` is set when the chain broke after some of it
    NoText,   // the message keeps no text (its body was never downloaded)
    Damaged,  // the message could not be read; `problem` says why
    End,      // no more messages
  };
  // The next message of the tree. Tree damage met on the way is kept in
  // treeProblems(); its subtree is passed over.
  Got next(const std::function<void(std::string_view)>& sink, std::string& problem);

  // Messages the header counts, and the problems met in the tree so far.
  uint32_t headerCount() const { return headerCount_; }
  const std::vector<std::string>& treeProblems() const { return treeProblems_; }
  // Bytes of the file read so far: grows with every object read, never
  // counts one twice.
  int64_t consumed() const { return consumed_; }

 private:
  struct Frame {
    uint32_t node;
    std::vector<uint32_t> values;
    std::vector<uint32_t> children;
    size_t at = 0;  // the next value to give
  };
  bool readAt(uint32_t offset, size_t n, std::string& out);
  bool pushNode(uint32_t offset, uint32_t parent);
  // The next value in tree order; false at the end.
  bool nextValue(uint32_t& value);
  Got readMessage(uint32_t info, const std::function<void(std::string_view)>& sink, std::string& problem);
  bool textPointer(uint32_t info, uint32_t& text, std::string& problem);

  BlockReader& r_;
  uint32_t headerCount_ = 0;
  uint32_t root_ = 0;
  bool open_ = false;
  std::vector<Frame> stack_;
  std::set<uint32_t> nodes_;   // nodes met
  std::set<uint32_t> infos_;   // message infos met
  int64_t end_ = 0;         // the end of the furthest object read
  uint64_t textTotal_ = 0;  // bytes of text given so far
  std::vector<std::string> treeProblems_;
  int64_t consumed_ = 0;
};

}  // namespace qv::dbx
