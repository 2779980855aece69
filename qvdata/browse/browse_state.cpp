#include "browse/browse_state.h"

#include <cstdio>
#include <cstdlib>

#include "browse/browse_items.h"
#include "services/context.h"
#include "services/settings.h"
#include "services/settings_items.h"

namespace qv {

bool isSelection(const BrowseState& s) {
  if (s.kind == KindMailDb) {
    switch (s.mode) {
      case MmPartner: return s.limitPartner && s.partner.id != 0;
      case MmSender: return s.limitSender && s.sender.id != 0;
      case MmReceiver: return s.limitReceiver && s.receiver.id != 0;
      case MmWord:
      case MmTopic:
      case MmResult: return true;
      default: return false;
    }
  }
  switch (s.mode) {
    case FmThread: return s.limitThread && s.threadNumber != 0;
    case FmSender: return s.limitSender && s.sender.id != 0;
    case FmReceiver: return s.limitReceiver && s.receiver.id != 0;
    case FmSection:
    case FmWord:
    case FmTopic:
    case FmResult: return true;
    default: return false;
  }
}

// The slot holds fixed-width fields: kind (1 digit), mode (1 digit), then
// eight hexadecimal digits for each ID and one digit for each limit flag:
// selected message, thread, thread limit, section, sender, sender limit,
// receiver, receiver limit, word, topic (61 characters); the mail slot adds
// the partner and its limit (70 characters).
namespace {

void putId(std::string& out, uint32_t v) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", v);
  out += buf;
}

struct SlotReader {
  const std::string& text;
  size_t at = 0;
  bool ok = true;
  uint32_t id() {
    if (at + 8 > text.size()) {
      ok = false;
      return 0;
    }
    std::string part = text.substr(at, 8);
    at += 8;
    char* end = nullptr;
    unsigned long v = std::strtoul(part.c_str(), &end, 16);
    if (end != part.c_str() + 8) ok = false;
    return uint32_t(v);
  }
  int digit() {
    if (at >= text.size() || text[at] < '0' || text[at] > '9') {
      ok = false;
      return 0;
    }
    return text[at++] - '0';
  }
};

}  // namespace

void writeBrowseContext(const BrowseState& s) {
  std::string out;
  out += char('0' + (s.kind >= KindForumDb && s.kind <= KindNewsDb ? s.kind : KindForumDb));
  out += char('0' + (s.mode >= 1 && s.mode <= 9 ? s.mode : 1));
  putId(out, s.selected);
  putId(out, s.threadNumber);
  out += s.limitThread ? '1' : '0';
  putId(out, s.sectionId);
  putId(out, s.sender.id);
  out += s.limitSender ? '1' : '0';
  putId(out, s.receiver.id);
  out += s.limitReceiver ? '1' : '0';
  putId(out, s.wordId);
  putId(out, s.topicId);
  if (s.kind == KindMailDb) {
    putId(out, s.partner.id);
    out += s.limitPartner ? '1' : '0';
    MailContext(2, out);
  } else {
    Context(2, out);
  }
}

BrowseState readBrowseContext(int kind) {
  BrowseState blank;
  blank.kind = kind;
  std::string text = kind == KindMailDb ? MailContext(3) : Context(3);
  SlotReader r{text};
  BrowseState s;
  s.kind = r.digit();
  s.mode = r.digit();
  s.selected = r.id();
  uint32_t thread = r.id();
  s.limitThread = r.digit() == 1;
  uint32_t section = r.id();
  uint32_t sender = r.id();
  s.limitSender = r.digit() == 1;
  uint32_t receiver = r.id();
  s.limitReceiver = r.digit() == 1;
  uint32_t word = r.id();
  uint32_t topic = r.id();
  uint32_t partner = 0;
  if (kind == KindMailDb) {
    partner = r.id();
    s.limitPartner = r.digit() == 1;
  }
  int modes = kind == KindMailDb ? int(MmResult) : int(FmResult);
  if (!r.ok || s.kind != kind || s.mode < 1 || s.mode > modes) return blank;

  // Names and counts come from the records; an item gone meanwhile keeps
  // only its ID.
  auto keepId = [](uint32_t& field, uint32_t id) { field = id; };
  if (thread && !chooseThread(s, thread)) keepId(s.threadNumber, thread);
  if (section && !chooseSection(s, section)) keepId(s.sectionId, section);
  int senderMode = kind == KindMailDb ? int(MmSender) : int(FmSender);
  int receiverMode = kind == KindMailDb ? int(MmReceiver) : int(FmReceiver);
  if (sender && !choosePerson(s, senderMode, sender)) keepId(s.sender.id, sender);
  if (receiver && !choosePerson(s, receiverMode, receiver)) keepId(s.receiver.id, receiver);
  if (partner && !choosePerson(s, MmPartner, partner)) keepId(s.partner.id, partner);
  if (word && !chooseWord(s, word)) keepId(s.wordId, word);
  if (topic && !chooseTopic(s, topic)) keepId(s.topicId, topic);
  return s;
}

namespace {

// The settings item that keeps the last view of a kind's browser.
int browseModeItem(int kind) { return kind == KindMailDb ? ItemBrowseModeMail : ItemBrowseModeForum; }

}  // namespace

int storedBrowseMode(int kind) {
  int64_t mode = KonfigGet(browseModeItem(kind));
  int modes = kind == KindMailDb ? int(MmResult) : int(FmResult);
  return mode >= 1 && mode <= modes ? int(mode) : 1;
}

void storeBrowseMode(int kind, int mode) {
  KonfigSet(browseModeItem(kind), mode);
  Konfig(5);
}

}  // namespace qv
