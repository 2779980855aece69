// attachments: the parts of a message's original listed, or saved as new
// files of the user's. Nothing saved is opened or run.
#include <cstdlib>

#include "commands.h"
#include "dictionary/file_numbers.h"
#include "mime/message_parts.h"
#include "originals/originals_store.h"
#include "originals/safe_save.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/messages.h"

namespace qvcli {

namespace {

bool positive(const std::string& s, uint32_t& out) {
  if (s.empty() || s.size() > 10 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long long v = std::strtoull(s.c_str(), nullptr, 10);
  if (v == 0 || v > 0xFFFFFFFFull) return false;
  out = uint32_t(v);
  return true;
}

// The original of message `id` of the current database, or the reason
// there is none (reported).
std::optional<std::string> originalOf(const std::string& db, int kind, uint32_t id, int& rc) {
  if (kind != qv::KindMailDb && kind != qv::KindNewsDb) {
    rc = fail("the forum database \"" + db + "\" keeps its messages as they were read: it has no originals");
    return std::nullopt;
  }
  bool there = false;
  {
    qv::FileScope scope({kind == qv::KindMailDb ? qv::FileMail : qv::FileMsgNmbr});
    there = qv::readMessage(kind, id);
  }
  if (!there) {
    rc = fail("no message " + std::to_string(id) + " in \"" + db + "\"");
    return std::nullopt;
  }
  std::string damage;
  std::optional<std::string> raw = qv::readOriginal(kind, id, &damage);
  if (raw) return raw;
  if (!damage.empty())
    rc = fail(damage + " (qvcli check lists what is damaged)");
  else if (!qv::keepsOriginals(kind) && !qv::originalsFileExists())
    rc = fail("the database \"" + db + "\" keeps no originals (turn it on in the database's settings; "
              "messages imported from then on keep theirs)");
  else
    rc = fail("message " + std::to_string(id) + " has no original (it was imported before originals were kept, "
              "or while they were turned off)");
  return std::nullopt;
}

}  // namespace

int cmdAttachments(const Args& argsIn) {
  Args args = argsIn;
  std::string dir, part;
  bool save = takeOption(args, "--save", dir);
  bool onePart = takeOption(args, "--part", part);
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  uint32_t id = 0, wanted = 0;
  if (args.size() != 2 || !positive(args[1], id)) return fail("usage: attachments DB MSGID [--save DIR [--part N]]");
  if (onePart && (!save || !positive(part, wanted))) return fail("--part N takes a part number and goes with --save DIR");
  if (save && dir.empty()) return fail("--save takes a directory");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  int kind = qv::Mem.ForumType;
  int rc = 0;
  std::optional<std::string> raw = originalOf(args[0], kind, id, rc);
  if (!raw) return rc;

  if (!save) {
    std::vector<qv::mime::MessagePart> parts = qv::mime::listParts(*raw);
    say("%-4s %-40s %-32s %12s\n", "Part", "Name", "Type", "Bytes");
    for (const qv::mime::MessagePart& p : parts)
      say("%-4d %-40s %-32s %12llu%s\n", p.number, p.name.empty() ? "-" : p.name.c_str(), p.contentType.c_str(),
          static_cast<unsigned long long>(p.size), p.damage.empty() ? "" : ("  damaged: " + p.damage).c_str());
    return 0;
  }
  auto saveOne = [&](const qv::mime::MessagePart& p, const std::string& bytes) {
    if (p.attachment && !p.damage.empty()) {
      rc = fail("part " + std::to_string(p.number) + " not saved: it is damaged (" + p.damage + ")");
      return;
    }
    std::string error;
    std::string path = qv::saveNewFile(dir, qv::safeFileName(p.name, p.number), bytes, error);
    if (path.empty()) {
      rc = fail("part " + std::to_string(p.number) + " not saved: " + error);
      return;
    }
    say("%s\n", path.c_str());
  };
  if (onePart) {
    std::vector<qv::mime::MessagePart> parts = qv::mime::listParts(*raw);
    if (wanted > parts.size())
      return fail("message " + std::to_string(id) + " has " + std::to_string(parts.size()) + " parts, no part " + part);
    std::optional<std::string> bytes = qv::mime::partBytes(*raw, int(wanted));
    if (!bytes) return fail("part " + part + " not saved: it cannot be read");
    saveOne(parts[wanted - 1], *bytes);
    return rc;
  }
  // One walk over the message gives every part's bytes in turn.
  qv::mime::forEachPart(*raw, [&](const qv::mime::MessagePart& p, std::string& bytes) { saveOne(p, bytes); });
  return rc;
}

}  // namespace qvcli
