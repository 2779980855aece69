#include "export/export_headers.h"

#include <algorithm>

#include "services/db_kind.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"

namespace qv {

namespace {

constexpr size_t kMaxText = 64000;

std::string idText(uint32_t id) { return std::to_string(id); }

// "Sun Dec 05" + ...: the parts of a mailbox separator line.
std::string separatorLine(const MessageData& m, const std::string& time) {
  return "From ???@??? " + weekdayOf(m.date) + " " + monthOf(m.date) + " " + dayOfMonth(m.date) + " " + time + " " +
         yearOf(m.date);
}

// "Wed, 05 Dec 1997 14:22:10".
std::string internetDate(const MessageData& m) {
  return weekdayOf(m.date) + ", " + dayOfMonth(m.date) + " " + monthOf(m.date) + " " + yearOf(m.date) + " " +
         clockTime(m.time);
}

std::vector<std::string> forumHeader(int layout, const MessageData& m, const std::string& forum) {
  if (layout != 1 && layout != 4) return {};
  std::string section = " S" + std::to_string(m.sectionNumber) + "/" + m.sectionName;
  std::vector<std::string> h;
  h.push_back("#: " + idText(m.id) + section + (layout == 1 ? "  [" : "  [CIS:") + forum + "]");
  h.push_back("    " + dayMonthYear(m.date, false) + " " + clockTime(m.time) + " ");
  if (layout == 1 && m.ref != 0)
    h.push_back("Sb: #" + idText(m.ref) + "-" + m.subject);
  else
    h.push_back("Sb: " + m.subject);
  h.push_back("Fm: " + forumPerson(m.from));
  h.push_back("To: " + forumPerson(m.to));
  if (layout == 4) {
    std::string par = m.ref != 0 ? idText(m.ref) : "";
    par.resize(std::max<size_t>(par.size(), 11), ' ');
    h.push_back("Replies:      TID:           Par:" + par + "Chd:           Sib:");
  }
  return h;
}

// Newsgroup headers; `indent` is the blank that starts each clipboard line.
std::vector<std::string> newsHeader(bool clipboard, const MessageData& m, const std::string& group) {
  std::string in = clipboard ? " " : "";
  std::vector<std::string> h;
  if (!clipboard) h.push_back(separatorLine(m, clockTime(m.time)));
  h.push_back(in + "From: " + internetPerson(m.from));
  h.push_back(in + "Newsgroups: " + group);
  h.push_back(in + "Date: " + dayMonthYear(m.date, true) + " " + clockTime(m.time) + " ");
  h.push_back(in + "Subject: " + m.subject);
  h.push_back(in + "Message-ID: " + m.idString);
  if (m.ref != 0 && !m.refIdString.empty()) h.push_back(in + "References: " + m.refIdString);
  return h;
}

std::vector<std::string> mailHeader(int layout, const MessageData& m) {
  std::string date = dayMonthYear(m.date, false), time = clockTime(m.time);
  switch (layout) {
    case 1:
      return {"#: " + idText(m.id) + " S0/CompuServe Mail  [MAIL]", "    " + date + "  " + time,
              "Sb: " + m.subject, "Fm: " + capturePerson(m.from), "To: " + capturePerson(m.to)};
    case 2:
      if (m.outgoing)
        return {separatorLine(m, time), "To: " + internetPerson(m.to), "From: " + internetPerson(m.from),
                "Subject: " + m.subject};
      return {separatorLine(m, time), "Date: " + internetDate(m), "From: " + internetPerson(m.from),
              "To: " + internetPerson(m.to), "Subject: " + m.subject};
    case 3:
      return {"From: " + internetPerson(m.from), "Date: " + internetDate(m), "Subject: " + m.subject,
              "To: " + internetPerson(m.to)};
    case 4:
      if (m.outgoing)
        return {"Date:  " + date + " " + time + "  MsgID: OUTBOX", "MgTo:  " + mailFileRecipient(m.to),
                "Subj:  " + m.subject};
      return {"Date:  " + date + " " + time + "  MsgID:             ToID: " + m.to.address,
              "From:  " + mailFileSender(m.from), "Subj:  " + m.subject,
              "Chrg:          Imp:        Sens:        Receipt:       Parts:"};
    default: return {};
  }
}

std::string framed(const char* s) {
  std::string t(s);
  t.resize(64, ' ');
  return t;
}

}  // namespace

int exportedKind() {
  return Mem.ForumType == KindMailDb || Mem.ForumType == KindNewsDb ? Mem.ForumType : KindForumDb;
}

int exportLayout(int kind) {
  int item = kind == KindMailDb   ? ItemExportLayoutMail
             : kind == KindNewsDb ? ItemExportLayoutNews
                                  : ItemExportLayoutForum;
  int64_t v = KonfigGet(item);
  if (v == 0) v = KonfigGet(ItemExportHeaders);
  return v == 0 ? 1 : int(v);
}

bool twoFileLayout(int kind, int layout) { return kind == KindMailDb && layout >= 2 && layout <= 4; }

std::vector<std::string> fileHeader(int kind, int layout, const MessageData& m, const std::string& database) {
  if (kind == KindMailDb) return mailHeader(layout, m);
  if (kind == KindNewsDb) return newsHeader(false, m, database);
  return forumHeader(layout, m, database);
}

std::vector<std::string> clipboardHeader(int kind, int layout, const MessageData& m, const std::string& database) {
  if (kind == KindMailDb) return mailHeader(layout, m);
  if (kind == KindNewsDb) return newsHeader(true, m, database);
  std::string no = "MsgNo: " + idText(m.id);
  if (m.ref != 0) no += " (reply to " + idText(m.ref) + ")";
  return {"Subject: " + m.subject,
          "From: " + forumPerson(m.from),
          "To: " + forumPerson(m.to),
          "Date: " + dayMonthYear(m.date, false),
          "Forum: " + database,
          no};
}

std::vector<std::string> bodyLines(const std::string& text, bool wrap, size_t width) {
  std::vector<std::string> out;
  for (const std::string& line : textLines(cutText(text, kMaxText))) {
    if (wrap)
      wrapLine(line, width, out);
    else
      out.push_back(line);
  }
  return out;
}

std::vector<std::string> fileLines(const std::vector<std::string>& header, const std::string& text, bool wrap,
                                   size_t width) {
  std::vector<std::string> out = header;
  out.emplace_back();
  for (std::string& l : bodyLines(text, wrap, width)) out.push_back(std::move(l));
  out.emplace_back();
  return out;
}

std::string clipboardText(int kind, const std::vector<std::string>& header, const std::string& text, bool wrap,
                          size_t width) {
  const std::string rule(64, '-');
  std::string banner = kind == KindMailDb ? framed("         Mail retrieved by Quorvane Message Archiver")
                                          : framed("         Message retrieved by Quorvane Message Archiver");
  std::vector<std::string> lines = {rule, banner, rule};
  lines.insert(lines.end(), header.begin(), header.end());
  lines.push_back(rule);
  for (std::string& l : bodyLines(text, wrap, width)) lines.push_back(std::move(l));
  lines.push_back(rule);
  lines.push_back(framed("                            End Of Quote"));
  lines.push_back(rule);
  lines.emplace_back();
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

}  // namespace qv
