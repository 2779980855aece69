#include "import/parsers/mail_message.h"

#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/parsers/ascii_text.h"
#include "import/parsers/message_record.h"
#include "import/skip_reasons.h"
#include "mime/html_text.h"
#include "mime/mime_message.h"
#include "originals/original_packing.h"

namespace qv::mail {

namespace {

constexpr size_t kMaxText = 64000;

using ascii::findNoCase;

std::string removeMarkers(std::string_view s) {
  static const std::string_view kMarkers[] = {"<x-flowed>", "</x-flowed>", "<x-rich>", "</x-rich>"};
  std::string out(s);
  for (std::string_view m : kMarkers)
    for (size_t at; (at = findNoCase(out, m, 0)) != std::string::npos;) out.erase(at, m.size());
  return out;
}

// The name and address of one party; a party without either gets the
// header's text as its name.
std::pair<std::string, std::string> party(const std::vector<mime::Address>& list, const std::string& raw) {
  if (!list.empty()) return {list.front().name, list.front().address};
  return {raw, ""};
}

}  // namespace

void MessageBytes::addOriginal(std::string_view s) {
  if (originalCut_) return;
  if (original_.size() + s.size() > kOriginalMaxBytes) {
    originalCut_ = true;
    original_.clear();
    original_.shrink_to_fit();
    return;
  }
  original_.append(s);
}

void MessageBytes::add(std::string_view s) {
  addOriginal(s);
  if (bytes_.size() >= kMaxMessage) return;
  bytes_.append(s.substr(0, kMaxMessage - bytes_.size()));
}

void MessageBytes::add(const MessageBytes& other) {
  if (other.originalCut_) {
    originalCut_ = true;
    original_.clear();
  } else {
    addOriginal(other.original_);
  }
  if (bytes_.size() >= kMaxMessage) return;
  bytes_.append(std::string_view(other.bytes_).substr(0, kMaxMessage - bytes_.size()));
}

void MessageBytes::addLine(std::string_view piece, bool ended, std::string_view eol) {
  addOriginal(piece);
  if (ended) addOriginal(eol);
  if (bytes_.size() + piece.size() + 1 <= kMaxMessage) {
    bytes_.append(piece);
    if (ended) bytes_ += '\n';
    return;
  }
  std::string_view rest = std::string_view(piece).substr(0, kMaxMessage - std::min(kMaxMessage, bytes_.size()));
  bytes_.append(rest);
  if (ended && bytes_.size() < kMaxMessage) bytes_ += '\n';
}

bool blankMessage(std::string_view raw) {
  for (char c : raw)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\0') return false;
  return true;
}

std::string eudoraText(std::string_view text) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t open = findNoCase(text, "<x-html>", pos);
    if (open == std::string_view::npos) break;
    out += removeMarkers(text.substr(pos, open - pos));
    size_t body = open + 8;
    size_t close = findNoCase(text, "</x-html>", body);
    size_t end = close == std::string_view::npos ? text.size() : close;
    std::string converted = mime::htmlToText(text.substr(body, end - body));
    pos = close == std::string_view::npos ? text.size() : close + 9;
    if (!converted.empty()) {
      if (!out.empty() && out.back() != '\n') out += "\r\n";
      out += converted;
      if (text.substr(pos, 1) != "\r" && text.substr(pos, 1) != "\n") out += "\r\n";
    }
  }
  if (pos < text.size()) out += removeMarkers(text.substr(pos));
  return out;
}

bool convertMail(ImportContext& ctx, std::string_view raw, Flavour flavour) {
  return convertMail(ctx, raw, nullptr, flavour);
}

const char* mailSkipReason(ImportContext& ctx, Target*& box) {
  if (!ctx.settings().importMail) return kSkipMailNotImported;
  box = ctx.mailbox();
  if (box == nullptr) return kSkipNoMailbox;
  if (ctx.creationOnly()) return kSkipCreationOnly;
  return nullptr;
}

mime::DecodedMessage decodeMail(std::string_view raw, const std::optional<std::string>* original, Flavour flavour) {
  mime::DecodeOptions options;
  bool eudora = flavour == Flavour::Eudora || flavour == Flavour::EudoraMac;
  // Eudora's HTML shrinks when it is converted: decode more, cut after.
  if (eudora) options.maxText = kMaxText * 8;
  if (flavour == Flavour::EudoraMac) options.legacy = mime::LegacyCharset::MacRoman;
  bool cut = raw.size() >= kMaxMessage && original && *original && (*original)->size() > raw.size();
  mime::DecodedMessage d = mime::decodeMessage(cut ? std::string_view(**original) : raw, options);
  if (eudora) {
    d.text = eudoraText(d.text);
    d.text.resize(utf8CutLength(d.text, kMaxText));
  }
  return d;
}

bool convertMail(ImportContext& ctx, std::string_view raw, std::optional<std::string>* original, Flavour flavour) {
  return convertMail(ctx, original, [&] { return decodeMail(raw, original, flavour); });
}

bool convertMail(ImportContext& ctx, std::optional<std::string>* original, const MailDecoding& decoding) {
  auto offer = [&] {
    if (original) ctx.offerOriginal(std::move(*original));
  };
  Target* box = nullptr;
  if (const char* reason = mailSkipReason(ctx, box)) {
    offer();
    ctx.skip(reason);
    return true;
  }

  mime::DecodedMessage d = decoding();
  offer();

  MessageFields m;
  std::tie(m.senderName, m.senderAddress) = party(d.from, d.fromRaw);
  std::tie(m.recipientName, m.recipientAddress) = party(d.to, d.toRaw);
  m.subject = d.subject;
  m.date = d.date;
  m.time = d.time;
  m.text = std::move(d.text);
  if (!emitMail(ctx, *box, DirectionUndecided, m)) return false;
  uint32_t number = m.number;
  bool sent = m.direction == MailSent;

  // Further recipients: the To recipients besides the one stored with a sent
  // mail (a received mail stores the owner; posting leaves out the owner's
  // own addresses), then copies and blind copies; each recipient once.
  std::set<std::pair<std::string, std::string>> seen;
  auto copies = [&](const std::vector<mime::Address>& list, size_t from, const char* type) {
    for (size_t i = from; i < list.size(); ++i) {
      CCT = ImpCCRRec();
      CCT.MAILID = number;
      CCT.R_NAME = list[i].name;
      CCT.R_CISADRESS = list[i].address;
      CCT.RECIPTYPE = type;
      if (CCT.R_NAME.blank() && CCT.R_CISADRESS.blank()) continue;
      if (!seen.insert({lowerAddress(CCT.R_CISADRESS.view()), CCT.R_NAME.str()}).second) continue;
      if (!ctx.emitCarbonCopy()) return false;
    }
    return true;
  };
  if (sent && !d.to.empty()) seen.insert({lowerAddress(Str<60>(d.to.front().address).view()), Str<40>(d.to.front().name).str()});
  return copies(d.to, sent ? 1 : 0, "TO") && copies(d.cc, 0, "CC") && copies(d.bcc, 0, "BC");
}

}  // namespace qv::mail
