#include "export/copy_msg.h"

#include <filesystem>

#include "dictionary/dictionary.h"
#include "export/clipboard.h"
#include "export/export_headers.h"
#include "export/export_names.h"
#include "originals/originals_export.h"
#include "originals/originals_store.h"
#include "services/globals.h"
#include "services/db_kind.h"
#include "services/prompt.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "storage/errors.h"

namespace qv {

namespace {

constexpr int kWriteSlice = 50;      // messages written per step (progress every 50)
constexpr const char* kCaption = "Export messages";

// Creates the file anew (replace) or makes sure it exists (append).
bool prepareFile(File& f, const std::string& path, bool replace) {
  f.setName(path);
  if (!replace && std::filesystem::exists(path)) return true;
  return f.create();
}

// Appends lines to a line file, opening it for this slice only: the line
// files are shared with other procedures between slices.
bool appendLines(File& f, std::string& buffer, const std::string& path, const std::vector<std::string>& lines) {
  if (lines.empty()) return true;
  f.setName(path);
  if (!f.open(Share::Shared)) return false;
  bool ok = true;
  for (const std::string& l : lines) {
    buffer = l;
    if (!f.add()) {
      ok = false;
      break;
    }
  }
  f.close();
  return ok;
}

}  // namespace

// The export as a run over a set of messages: the first slice checks the
// request and opens the set and the files, the next ones collect the set,
// then each slice writes kWriteSlice messages (or the current one to the
// clipboard). Whatever ends the run, ended() lets go of the set's files and
// the mailbox of originals and reports the end.
struct CopyRun::Impl : MessageSetRun {
  Impl() : MessageSetRun(view, kNoBatchRules) {}
  // A run dropped unfinished only lets go of its files: nobody waits for
  // its progress any more.
  ~Impl() override {
    if (walk) walk->close();
  }

  CopyRequest req;
  CopyView view;
  std::function<void(const CopyView&)> progress;
  int kind = KindForumDb;
  int layout = 1;
  bool wrap = false;
  size_t width = 78;
  bool twoFiles = false;
  bool originals = false;  // the originals are written (kLayoutOriginals)
  OriginalsOutput originalsOut;
  std::string path1, path2;

  bool replace() const { return req.scope % 2 == 0; }
  bool toClipboard() const { return req.scope == 1; }

  // Ends the run as failed; the text (if any) is told the user.
  void refuse(const std::string& text, const std::string& caption = kCaption) {
    if (!text.empty()) Message(text, caption, Icon::Exclamation);
    view.failure = text;
    finish(CopyFailed);
  }

  // Ends the run once every message is written: the mailbox of originals
  // must take its last bytes, and what was left out is named.
  void wrapUp() {
    if (walk) walk->close();
    std::string error;
    if (!originalsOut.close(error)) {
      refuse(error);
      return;
    }
    // The file holds every original that could be read; the damaged ones
    // are named rather than silently left out.
    if (view.damaged > 0)
      Message(std::to_string(view.damaged) + " message(s) could not be exported: their originals are damaged.\r\n" +
                  view.damage + "\r\nThe check of the database tells more.",
              kCaption, Icon::Exclamation);
    if (view.undated > 0)
      Message(std::to_string(view.undated) +
                  " message(s) have no date and are outside every date range: they were not exported.\r\n"
                  "Exported without a date range, the whole database includes them.",
              kCaption, Icon::Information);
    finish(CopyDone);
  }

  void ended() override {
    if (walk) walk->close();
    std::string ignored;
    originalsOut.close(ignored);
    view.collecting = false;
    if (progress) progress(view);
  }

  // Reads the message; true (counted) when it is gone or the filter leaves
  // it out.
  bool leftOut(uint32_t id, MessageData& m) {
    if (!walk->read(id, m)) {
      ++view.skipped;
      return true;
    }
    if (!req.filter.skips(m.id, m.date)) return false;
    ++(req.filter.undated(m.id, m.date) ? view.undated : view.skipped);
    return true;
  }
  void open() override { setup(); }
  void workSlice() override;
  bool setup();
  bool setupOriginals();
  bool refuseName(const std::string& problem);
  void copyToClipboard();
  void writeSlice();
  void writeOriginalsSlice();
};

bool CopyRun::Impl::setup() {
  MessageSet set;
  if (!setOfCopyScope(req.scope, set)) {
    refuse("There is no export of scope " + std::to_string(req.scope) + ".");
    return false;
  }
  kind = exportedKind();
  layout = req.layout > 0 ? req.layout : exportLayout(kind);
  wrap = KonfigGet(ItemHardLineEnds) != 0;
  int64_t w = KonfigGet(ItemWrapColumn);
  width = w > 0 ? size_t(w) : 78;
  view.caption = "Exporting " + Mem.Description;

  originals = layout == kLayoutOriginals && !toClipboard();
  if (toClipboard() && layout == kLayoutOriginals) layout = 1;
  if (originals) {
    if (!setupOriginals()) return false;
  } else if (toClipboard()) {
    if (clipboard() == nullptr) {
      refuse("No clipboard is available.");
      return false;
    }
  } else {
    twoFiles = twoFileLayout(kind, layout);
    std::string def1 = kind != KindMailDb ? "SaveMsg.Txt" : twoFiles ? "InBox.Mbx" : "SaveMail.Txt";
    std::string name1 = req.defaultNames || req.file1.empty() ? def1 : req.file1;
    std::string name2 = req.defaultNames || req.file2.empty() ? "OutBox.Mbx" : req.file2;
    if (!refuseName(exportNameProblem(name1)) || (twoFiles && !refuseName(exportNameProblem(name2)))) return false;
    if (twoFiles && name1 == name2) {
      refuse("Inbox and Outbox files cannot have the same name.", "File name conflict");
      return false;
    }
    path1 = exportPath(name1);
    if (twoFiles) path2 = exportPath(name2);
  }

  walk = std::make_unique<MessageWalk>(SetRequest{set, req.messageId, req.wordId, req.topicId});
  if (!walk->open()) {
    refuse(walk->error());
    return false;
  }
  // The first slice finds the current message, before any file is touched.
  walk->collect(kSetCollectSlice);
  if (!walk->error().empty()) {
    refuse(walk->error());
    return false;
  }
  if (toClipboard()) return true;
  if (originals) {
    std::string error;
    if (req.emlDir.empty() && !originalsOut.openMailbox(path1, replace(), error)) {
      refuse(error);
      return false;
    }
    if (!req.emlDir.empty()) originalsOut.useDirectory(req.emlDir);
    return true;
  }
  if (LineFile.isOpen() || LineFile2.isOpen()) {
    refuse("The export files are in use by another job. Try again when it has finished.");
    return false;
  }
  for (auto [file, path] : {std::pair<File*, std::string>{&LineFile, path1}, {&LineFile2, path2}}) {
    if (path.empty()) continue;
    if (!prepareFile(*file, path, replace())) {
      refuse("The file " + path + " cannot be created.\r\n" + ErrorText());
      return false;
    }
  }
  return true;
}

// A name refused for `problem` (none: it may be used) ends the run as
// failed, the user told why; false then.
bool CopyRun::Impl::refuseName(const std::string& problem) {
  if (problem.empty()) return true;
  refuse(problem, "Filename error");
  return false;
}

// The mailbox file's name, or the directory of .eml files, checked as every
// file written on request is.
bool CopyRun::Impl::setupOriginals() {
  if (kind == KindForumDb) {
    refuse("Forum messages are kept as they were read: export them in another layout.");
    return false;
  }
  if (!originalsFileExists()) {
    refuse("The database " + Mem.Description + " keeps no originals.");
    return false;
  }
  if (!req.emlDir.empty()) {
    if (!refuseName(outputFileProblem(joinPath({req.emlDir, "1.eml"})))) return false;
    path1 = req.emlDir;
    return true;
  }
  std::string name = req.defaultNames || req.file1.empty() ? kOriginalsFileName : req.file1;
  if (!refuseName(exportNameProblem(name))) return false;
  path1 = exportPath(name);
  return true;
}

void CopyRun::Impl::copyToClipboard() {
  MessageData m;
  if (walk->ids().empty() || !walk->read(walk->ids().front(), m)) {
    refuse("The message " + std::to_string(req.messageId) + " is not in the database.");
    return;
  }
  std::vector<std::string> header = clipboardHeader(kind, layout, m, Mem.Description);
  clipboard()->setText(clipboardText(kind, header, m.text, wrap, width));
  view.written = 1;
  wrapUp();
}

void CopyRun::Impl::writeOriginalsSlice() {
  const std::vector<uint32_t>& ids = walk->ids();
  for (int n = 0; n < kWriteSlice && next < ids.size(); ++n, ++next) {
    MessageData m;
    if (leftOut(ids[next], m)) continue;
    std::string damage;
    std::optional<std::string> raw = readOriginal(kind, m.id, &damage);
    if (!raw) {
      ++view.skipped;
      if (!damage.empty() && view.damaged++ == 0) view.damage = "Message " + std::to_string(m.id) + ": " + damage;
      continue;
    }
    std::string error;
    if (!originalsOut.write(m.id, *raw, error)) {
      refuse(error);
      return;
    }
    ++view.written;
  }
  if (next >= ids.size()) {
    wrapUp();
    return;
  }
  if (progress) progress(view);
}

void CopyRun::Impl::workSlice() {
  if (toClipboard())
    copyToClipboard();
  else if (originals)
    writeOriginalsSlice();
  else
    writeSlice();
}

void CopyRun::Impl::writeSlice() {
  // Another procedure reading a text file keeps the line files: wait for it.
  if (LineFile.isOpen() || LineFile2.isOpen()) return;
  const std::vector<uint32_t>& ids = walk->ids();
  std::vector<std::string> lines1, lines2;
  for (int n = 0; n < kWriteSlice && next < ids.size(); ++n, ++next) {
    MessageData m;
    if (leftOut(ids[next], m)) continue;
    std::vector<std::string> lines = fileLines(fileHeader(kind, layout, m, Mem.Description), m.text, wrap, width);
    std::vector<std::string>& out = twoFiles && m.outgoing ? lines2 : lines1;
    out.insert(out.end(), lines.begin(), lines.end());
    ++view.written;
  }
  if (!appendLines(LineFile, ASC.LINE, path1, lines1) || !appendLines(LineFile2, EXP.LINE, path2, lines2)) {
    refuse("The export file cannot be written.\r\n" + ErrorText());
    return;
  }
  if (next >= ids.size()) {
    wrapUp();
    return;
  }
  if (progress) progress(view);
}

CopyRun::CopyRun(const CopyRequest& request) : impl_(std::make_unique<Impl>()) { impl_->req = request; }

CopyRun::~CopyRun() = default;

void CopyRun::onProgress(std::function<void(const CopyView&)> f) { impl_->progress = std::move(f); }

bool CopyRun::step() { return impl_->step(); }
void CopyRun::cancel() { impl_->stop(); }
int CopyRun::result() const { return impl_->result(); }
Status CopyRun::status() const { return impl_->status(); }
const CopyView& CopyRun::view() const { return impl_->view; }
const std::string& CopyRun::path1() const { return impl_->path1; }
const std::string& CopyRun::path2() const { return impl_->path2; }

int CopyMsg(const CopyRequest& request, std::function<void(const CopyView&)> progress) {
  CopyRun run(request);
  run.onProgress(std::move(progress));
  while (run.step()) {
  }
  return run.result();
}

}  // namespace qv
