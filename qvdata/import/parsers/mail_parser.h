// The parser of the mail client stores: a store-specific cutter finds where
// each message begins and ends, and every message it yields is decoded and
// written the same way (mail_message.h), a slice of messages per call. The
// decoding runs on a worker while the next messages are cut and the ones
// decoded are written in their order (decode_pipeline.h).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "import/parser.h"
#include "import/parsers/block_reader.h"
#include "import/parsers/mail_lines.h"
#include "import/parsers/mail_message.h"

namespace qv::mail {

class Cutter {
 public:
  virtual ~Cutter() = default;
  // At the start of a file, the reader at its first byte. False rejects the
  // file (after telling the user why).
  virtual bool start(ImportContext& ctx, BlockReader& r) = 0;
  // The bytes of the next message; false when the file holds no more.
  virtual bool next(std::string& raw) = 0;
  // The original of the message next() gave last: the message's bytes as
  // the store holds them, without the store's own separator line; nullopt
  // when it is too long to keep. By default the bytes next() gave.
  virtual std::optional<std::string> original(const std::string& raw) { return raw; }
  // True when next() tells the run nothing itself (no skips, no messages),
  // so that the next messages may be cut before the ones before them are
  // written (decode_pipeline.h). A cutter that tells has them cut one at a
  // time, each written before the next is cut.
  virtual bool quiet() const { return true; }
  // True when the file has the line ends of the classic Mac OS (CR alone).
  virtual bool classicMac() const { return false; }
  // How far through the file the cutter is, for the progress bar: never
  // less than before. By default the reader's position.
  virtual int64_t progress(const BlockReader& r) const { return r.position(); }
};

std::unique_ptr<Parser> makeMailParser(std::unique_ptr<Cutter> cutter, Flavour flavour);

// Tells whether a line starts a message; `next` is the piece after it
// (nullptr at the end of the file).
using SeparatorTest = std::function<bool(std::string_view line, const MailLine* next)>;

// The cutter of stores whose messages each begin with a separator line
// (Eudora's "From ???@???", the Mozilla family's "From - "): a message runs
// from its separator to the next one; what comes before the first separator
// is passed over. With `unescape`, body lines escaped as ">From " lose one
// ">" (in the message's original too).
std::unique_ptr<Cutter> makeSeparatorCutter(SeparatorTest isSeparator, bool unescape);

// The cutter of Outlook Express 5 and later message stores (".dbx"): every
// message's text, in the order of the store's index (dbx_store.h).
std::unique_ptr<Cutter> makeDbxCutter();

}  // namespace qv::mail
