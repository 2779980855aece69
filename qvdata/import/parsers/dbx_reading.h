// One Outlook Express 5 store read by an import, for the mail and the news
// formats alike: a store that holds no messages is skipped with a message
// naming what it is; a message the store keeps no text of, or whose entry
// or first block is damaged, is counted as skipped; a chain of blocks that
// breaks after some text gives the text read so far. Damage anywhere is
// told once, at the end of the store, message by message; the other
// messages are read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "import/parser.h"
#include "import/parsers/dbx_store.h"

namespace qv::dbx {

class StoreReading {
 public:
  // At the start of the file. False when it is no message store or its
  // header cannot be read (the user was told why).
  bool start(ImportContext& ctx, BlockReader& r);
  // Gives the next message's text to `sink`, piece by piece; false when the
  // store holds no more.
  bool next(const std::function<void(std::string_view)>& sink);
  // Bytes of the store read so far (never less than before).
  int64_t consumed() const { return store_ ? store_->consumed() : 0; }

 private:
  void report();

  ImportContext* ctx_ = nullptr;
  std::unique_ptr<MessageStore> store_;
  std::vector<std::string> problems_;
  uint32_t messages_ = 0;
  bool reported_ = false;
};

}  // namespace qv::dbx
