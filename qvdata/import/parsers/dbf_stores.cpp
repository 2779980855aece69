#include "import/parsers/dbf_stores.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "dictionary/dictionary.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/mail_message.h"
#include "import/parsers/message_record.h"
#include "import/parsers/news_article.h"
#include "import/skip_reasons.h"
#include "services/datetime.h"
#include "services/names.h"
#include "services/text_match.h"
#include "storage/fixedstr.h"

namespace qv::dbfstore {

namespace {

using cis::trim;

constexpr std::string_view kInternet = "INTERNET:";
constexpr const char* kYes = "T";

// A column's text as UTF-8 (the readers wrote Windows-1252), without its
// trailing blanks: fixed-width columns are blank-padded.
std::string textOf(std::string_view value) { return cis::decodeSource(cis::trimRight(value)); }

// A NavCIS column: trailing CR LF removed, then as textOf.
std::string navText(std::string_view value) { return textOf(withoutCrLf(cis::trimRight(value))); }

std::string address(std::string_view value, bool navCis) {
  return withoutInternetPrefix(navCis ? navText(value) : textOf(value));
}

// Message texts: CR LF line ends (a lone CR or LF is a line end too), no NUL
// bytes, trimmed as every message line is, at most 64000 bytes cut on a
// character boundary.
std::string messageText(std::string_view memo) {
  std::string text = cis::decodeSource(memo);
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (c == '\r' || c == '\n') {
        out += "\r\n";
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else {
        out += c;
      }
    }
    text = std::move(out);
  }
  StripChar(0, text);
  if (text.size() > cis::kMaxText) text.resize(utf8CutLength(text, cis::kMaxText));
  return text;
}

bool digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!cis::isDigit(c)) return false;
  return true;
}

int sectionNumber(int64_t value) { return value >= 0 && value <= 255 ? int(value) : 0; }

bool convertCisCommForum(ImportContext& ctx, const DbfRow& row) {
  if (!ctx.settings().importForum) return skipped(ctx);
  MessageFields m;
  m.forum = ctx.settings().forumName;
  Target* t = ctx.target(m.forum, KindForumDb);
  uint32_t number = cis::messageNumber(trim(row["MSG_NUMBER"]));
  if (t != nullptr && number == 0) return skipped(ctx);
  if (const char* why = forumSkipReason(ctx, t, number)) return skipped(ctx, why);
  m.number = number;
  // A parent can only be older than its reply.
  m.parent = cis::olderParent(cis::messageNumber(trim(row["MSG_PARENT"])), number);
  int section = cis::sectionDigits(trim(row["MSG_SECTNO"]));
  m.section = section >= 0 && section <= 255 ? section : 0;
  m.sectionName = textOf(row["MSG_SECT"]);
  m.subject = textOf(row["MSG_SUBJEC"]);
  m.senderAddress = address(row["MSG_SENDID"], false);
  m.senderName = textOf(row["MSG_SENDER"]);
  m.recipientAddress = address(row["MSG_RECVID"], false);
  m.recipientName = textOf(row["MSG_RECVR"]);
  m.date = tableDate(row["MSG_DATE"]);
  m.time = navCisTime(row["MSG_TIME"]);
  m.text = messageText(row["MSG_TEXT"]);
  return emitForumMessage(ctx, *t, m);
}

// The mail table has the forum table's columns where both have them; its
// addresses are memos.
bool convertCisCommMail(ImportContext& ctx, const DbfRow& row) {
  if (!ctx.settings().importMail) return skipped(ctx);
  Target* box = ctx.mailbox();
  if (box == nullptr || ctx.creationOnly()) return skipped(ctx);
  MessageFields m;
  m.subject = textOf(row["MSG_SUBJEC"]);
  m.senderAddress = address(trim(row["MSG_SENDID"]), false);
  m.senderName = textOf(row["MSG_SENDER"]);
  m.recipientAddress = address(trim(row["MSG_RECVID"]), false);
  m.recipientName = textOf(row["MSG_RECVR"]);
  m.date = tableDate(row["MSG_DATE"]);
  m.time = navCisTime(row["MSG_TIME"]);
  m.text = messageText(row["MSG_TEXT"]);
  return emitMail(ctx, *box, DirectionUndecided, m);
}

}  // namespace

std::string_view withoutCrLf(std::string_view value) {
  if (value.size() >= 2 && value.substr(value.size() - 2) == "\r\n") value.remove_suffix(2);
  return value;
}

std::string withoutInternetPrefix(std::string_view a) {
  if (cis::startsWithNoCase(a, kInternet) && !isCompuServeNumber(trim(a.substr(kInternet.size()))))
    a.remove_prefix(kInternet.size());
  return std::string(a);
}

int32_t navCisTime(std::string_view text) {
  std::string t(cis::trimLeft(withoutCrLf(text)));
  t = std::string(cis::trimRight(t));
  if (t.size() >= 2 && t[1] == ':') t.insert(0, "0");
  if (t.size() == 5) t += ":00";
  if (t.size() != 8 || t[2] != ':' || t[5] != ':') return 0;
  std::string_view v(t);
  if (!digits(v.substr(0, 2)) || !digits(v.substr(3, 2)) || !digits(v.substr(6, 2))) return 0;
  int h = std::atoi(t.substr(0, 2).c_str()), m = std::atoi(t.substr(3, 2).c_str()),
      s = std::atoi(t.substr(6, 2).c_str());
  if (h > 23 || m > 59 || s > 59) return 0;
  return timeFromHMS(h, m, s);
}

int32_t navCisDate(std::string_view text) {
  text = cis::trimLeft(withoutCrLf(text));
  if (text.size() < 9) return 0;
  std::string canonical = std::string(text.substr(0, 2)) + "-" + std::string(text.substr(3, 3)) + "-" +
                          std::string(text.substr(7, 2));
  return cis::parseDateTime(canonical).date;
}

int32_t tableDate(std::string_view text) {
  text = trim(text);
  if (text.size() != 8 || !digits(text)) return 0;
  int y = std::atoi(std::string(text.substr(0, 4)).c_str());
  int m = std::atoi(std::string(text.substr(4, 2)).c_str());
  int d = std::atoi(std::string(text.substr(6, 2)).c_str());
  return dateFromYMD(y, m, d);
}

int64_t tableNumber(std::string_view text) {
  text = trim(text);
  bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  if (whole.empty() || whole.size() > 18 || !digits(whole)) return 0;
  if (point != std::string_view::npos && !text.substr(point + 1).empty() && !digits(text.substr(point + 1))) return 0;
  int64_t v = std::strtoll(std::string(whole).c_str(), nullptr, 10);
  return negative ? -v : v;
}

uint8_t navCisStatus(std::string_view keep, std::string_view isDelete) {
  if (trim(keep) == kYes) return 1;
  if (trim(isDelete) == kYes) return 2;
  return 0;
}

bool convertCisComm(ImportContext& ctx, const DbfRow& row, bool mailTable) {
  return mailTable ? convertCisCommMail(ctx, row) : convertCisCommForum(ctx, row);
}

bool convertNavCis(ImportContext& ctx, const DbfRow& row) {
  const bool mail = tableNumber(row["INTERNAL"]) == 0;
  MessageFields m;
  Target* t = nullptr;
  if (mail) {
    if (!ctx.settings().importMail) return skipped(ctx);
    t = ctx.mailbox();
    if (t == nullptr || ctx.creationOnly()) return skipped(ctx);
  } else {
    if (!ctx.settings().importForum) return skipped(ctx);
    std::string forum = navText(row["FORUM_NAME"]);
    for (char& c : forum)
      if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    t = ctx.target(forum, KindForumDb);
    uint32_t number = cis::messageNumber(std::to_string(std::max<int64_t>(0, tableNumber(row["MSG_NUMBER"]))));
    if (t != nullptr && number == 0) return skipped(ctx);
    if (const char* why = forumSkipReason(ctx, t, number)) return skipped(ctx, why);
    m.forum = std::move(forum);
    m.number = number;
    int64_t parent = tableNumber(row["MSG_PARENT"]);
    m.parent = parent > 0 && parent <= cis::kMaxMessageNumber ? cis::olderParent(uint32_t(parent), number) : 0;
  }
  m.time = navCisTime(row["MSG_TIME"]);
  m.section = sectionNumber(tableNumber(row["SEC_NUMBER"]));
  m.sectionName = navText(row["SEC_NAME"]);
  m.subject = navText(row["SUBJECT"]);
  m.senderAddress = address(row["SEND_ID"], true);
  m.senderName = navText(row["SEND_NAME"]);
  m.recipientAddress = address(row["RECV_ID"], true);
  m.recipientName = navText(row["RECV_NAME"]);
  m.status = navCisStatus(row["KEEP"], row["IS_DELETE"]);
  m.date = navCisDate(row["MSG_DATE"]);
  m.text = messageText(row["MSG_TEXT"]);
  return mail ? emitMail(ctx, *t, DirectionUndecided, m) : emitForumMessage(ctx, *t, m);
}

std::vector<std::string> ouiHeaderLines(std::string_view header) {
  std::vector<std::string> lines;
  const bool cr = header.find('\r') != std::string_view::npos;
  const std::string_view end = cr ? "\r\n" : "\n";
  size_t at = 0;
  while (at < header.size()) {
    size_t stop = header.find(end, at);
    if (stop == std::string_view::npos) stop = header.size();
    std::string_view line = header.substr(at, stop - at);
    at = stop + end.size();
    if (line.empty() || line.find_first_not_of(" \t\r\n") == std::string_view::npos) {
      if (!lines.empty()) break;  // the header ends at its first empty line
      continue;
    }
    lines.emplace_back(line);
  }
  return lines;
}

bool convertOui(ImportContext& ctx, const DbfRow& row, news::ArticleWriter& articles) {
  std::vector<std::string> lines = ouiHeaderLines(row["MSG_EXTRA"]);
  if (lines.empty()) return skipped(ctx);
  bool newsgroup = false;
  for (const std::string& line : lines)
    if (cis::startsWithNoCase(line, "Newsgroups:")) newsgroup = true;
  std::string raw;
  for (const std::string& line : lines) raw += line + "\n";
  raw += "\n";
  raw += row["MSG_BODY"];
  if (!newsgroup) return convertMail(ctx, raw, mail::Flavour::Internet);
  if (!ctx.settings().importNews) return skipped(ctx);
  return articles.write(raw);
}

std::string badRecordsMessage(Store store, int percent) {
  const char* reader = store == Store::NavCis ? "NavCIS" : store == Store::Oui ? "OUI" : "CISCOM";
  std::string advice =
      store == Store::NavCis
          ? "To physically remove deleted records from your NavCIS file, always use the EXIT and PACK "
            "option when closing your NavCIS session after records have been purged!"
          : std::string("To physically remove deleted records from your ") + reader +
                " file, always use the PACK option when closing your " + reader +
                " session after records have been purged!";
  return "Quorvane has processed " + std::to_string(percent) + " % of this " + reader + " file " +
         "and have encountered 5 bad records! They are probably deleted records that are still " +
         "retained in the file. To ensure data integrity this file will be skipped! \r\n\r\n" + advice;
}

}  // namespace qv::dbfstore
