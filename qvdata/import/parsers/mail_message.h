// One mail message cut out of a mail client's store, turned into the
// temporary import record and its carbon copies.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "import/parser.h"
#include "mime/mime_message.h"

namespace qv::mail {

// The bytes of one message kept in memory; a longer message keeps its first
// kMaxMessage bytes (its stored text holds at most 64000 of them anyway), so
// memory stays bounded whatever the source.
inline constexpr size_t kMaxMessage = 16u << 20;

// How a store keeps message bodies besides plain Internet messages.
enum class Flavour {
  Internet,  // the message as it was received
  Eudora,    // HTML already decoded and kept between <x-html> and </x-html>
  EudoraMac, // Eudora for the classic Mac OS: besides, undeclared 8-bit text is Mac Roman
};

// The bytes of one message as a parser collects them: the text for the
// decoder (lines ended by LF, at most kMaxMessage bytes) and, beside it, the
// message's original, its lines ended as the source ends them (at most
// kOriginalMaxBytes: a longer one is not kept).
class MessageBytes {
 public:
  void clear() {
    bytes_.clear();
    original_.clear();
    originalCut_ = false;
    started_ = false;
  }
  bool started() const { return started_; }
  void begin() {
    clear();
    // Room for a message of the size of the last one, so that a message's
    // bytes are not copied again and again while it grows.
    bytes_.reserve(std::min(lastSize_, kReserveMax));
    original_.reserve(std::min(lastSize_, kReserveMax));
    started_ = true;
  }
  // Appends bytes to both, up to kMaxMessage in all to the decoder's.
  void add(std::string_view s);
  // Appends what another holds, its original to this original.
  void add(const MessageBytes& other);
  // Appends a piece of a line and, when the line ends there, a LF to the
  // decoder's bytes and the line end `eol` to the original.
  void addLine(std::string_view piece, bool ended, std::string_view eol = "\n");
  // The original starts again here: what was added so far (a separator
  // line) is not the message's own.
  void restartOriginal() {
    original_.clear();
    originalCut_ = false;
  }
  const std::string& bytes() const { return bytes_; }
  std::string take() {
    started_ = false;
    lastSize_ = bytes_.size();
    return std::move(bytes_);
  }
  // The original of the message taken last (take() first); nullopt when it
  // was too long to keep.
  std::optional<std::string> takeOriginal() {
    if (originalCut_) return std::nullopt;
    return std::move(original_);
  }

 private:
  static constexpr size_t kReserveMax = 1u << 20;
  void addOriginal(std::string_view s);
  std::string bytes_;
  std::string original_;
  bool originalCut_ = false;
  size_t lastSize_ = 0;
  bool started_ = false;
};

// True when the bytes hold nothing but blanks, line ends and NUL bytes.
bool blankMessage(std::string_view raw);

// Converts one message into the temporary record of the import's mailbox
// (NHR) and one carbon-copy record (CCT) for each further recipient: the
// other To recipients ("TO"), Cc ("CC") and Bcc ("BC"). The message is
// counted as skipped when the import takes no mail, has no mailbox or only
// creates databases. False when a record could not be written.
bool convertMail(ImportContext& ctx, std::string_view raw, Flavour flavour);

// The same for a message of a store with its original (nullopt when too long
// to keep), which is offered to the run (ImportContext::offerOriginal) before
// the records are written. A message cut to kMaxMessage bytes is decoded from
// its whole original, so that its attachment lines give the whole sizes.
bool convertMail(ImportContext& ctx, std::string_view raw, std::optional<std::string>* original, Flavour flavour);

// Why convertMail skips a message (the import takes no mail, has no mailbox
// or only creates databases: import/skip_reasons.h), nullptr when it writes
// it; `box` is then the mailbox. Asks the run nothing but its settings and
// mailbox.
const char* mailSkipReason(ImportContext& ctx, Target*& box);

// The decoding convertMail makes of a message: the message decoded (from its
// whole original when it was cut), Eudora's markup converted. Pure work on
// the bytes given, safe on any thread once mime::prepareDecoding() was called.
mime::DecodedMessage decodeMail(std::string_view raw, const std::optional<std::string>* original, Flavour flavour);

// Gives the decoding of the message convertMail writes; asked at most once,
// and only when the message is not skipped.
using MailDecoding = std::function<mime::DecodedMessage()>;

// convertMail for a message whose decoding is made elsewhere (a worker):
// the same checks, skips, original and records.
bool convertMail(ImportContext& ctx, std::optional<std::string>* original, const MailDecoding& decoding);

// Eudora's own markup in a decoded text: each <x-html> ... </x-html> part
// converted from HTML to text, the <x-flowed> and <x-rich> markers removed.
std::string eudoraText(std::string_view text);

}  // namespace qv::mail
