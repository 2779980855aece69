// The source files of an import run: the files of the chosen directories
// queued in order, each opened as its format reads it (with the reasons a
// file is not read), and the progress over them.
#include "import/import_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/skip_reasons.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/messages.h"
#include "services/paths.h"
#include "services/prompt.h"
#include "services/utilities.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

// The warnings given while a source file is opened are about that file: a
// line that does not name it gets its name in front, so that the run's list
// of problems says which file each one is about.
void nameFileIn(std::vector<std::string>& problems, size_t from, const std::string& path) {
  for (size_t i = from; i < problems.size(); ++i)
    if (problems[i].find(path) == std::string::npos) problems[i] = path + ": " + problems[i];
}

}  // namespace

void ImportRun::queueFilesOf(const std::string& directory) {
  std::error_code ec;
  if (settings_.method == SelectFiles) {
    for (const std::string& name : settings_.masks) {
      std::string path = !name.empty() && name.front() == '/' ? name : joinPath({directory, name});
      int64_t size = 0;
      if (fs::is_regular_file(path, ec)) size = int64_t(fs::file_size(path, ec));
      files_.push_back({path, size});
    }
    return;
  }
  std::vector<QueuedFile> found;
  for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string name = it->path().filename().string();
    for (const std::string& m : settings_.masks)
      if (matchesPattern(name, m)) {
        found.push_back({it->path().string(), int64_t(it->file_size(ec))});
        break;
      }
  }
  std::sort(found.begin(), found.end(), [](const QueuedFile& a, const QueuedFile& b) { return a.path < b.path; });
  for (auto& f : found) files_.push_back(f);
}

// ---------------------------------------------------------------------------
// Conversion

void ImportRun::stageNextDirectory() {
  if (!files_.empty()) {
    stage_ = ImportStage::NextFile;
    return;
  }
  if (directories_.empty()) {
    commitConversion();
    return;
  }
  currentDir_ = directories_.front();
  directories_.pop_front();
  if (settings_.method == SelectTree) queueFilesOf(currentDir_);
  if (!files_.empty()) stage_ = ImportStage::NextFile;
}

void ImportRun::stageNextFile() {
  if (files_.empty()) {
    stage_ = ImportStage::NextDirectory;
    return;
  }
  QueuedFile f = files_.front();
  files_.pop_front();
  ++filesTaken_;
  currentPath_ = f.path;
  currentSize_ = f.size;
  view_.fileName = f.path;
  std::error_code ec;
  if (!fs::exists(f.path, ec)) {
    Message("The file " + f.path + " does not exist and will be skipped!", " Import Error ", Icon::Exclamation);
    return;
  }
  fileRecords_ = -1;
  const size_t problemsBefore = view_.problems.size();
  const bool opened = openSource(f.path);
  nameFileIn(view_.problems, problemsBefore, f.path);
  if (opened) {
    messagesBeforeFile_ = view_.tempRecords + view_.skipped;
    firstSlice_ = true;
    firstPassDone_ = false;
    fileProgress_ = 0;
    stage_ = ImportStage::ConvertFile;
  } else {
    doneBytes_ += currentSize_;
    updateProgress();
  }
}

bool ImportRun::openSource(const std::string& path) {
  offered_ = false;
  offeredBytes_.reset();
  if (readerRun_) {
    // The source's reader opens what it reads itself.
    parser_ = std::move(reader_);
    fileKind_ = 0;
    if (parser_ && parser_->start(*this)) return true;
    parser_.reset();
    return false;
  }
  parser_ = makeParser(*format_);
  if (parser_ && format_->openAs == OpenAs::Dbf) {
    // A reader's table: its parser opens it through the DBF driver and
    // closes it when the parser goes.
    FileTmpName = path;
    fileKind_ = 0;
    if (parser_->start(*this)) return true;
    parser_.reset();
    return false;
  }
  if (!parser_) {
    parser_.reset();
    Message("Files of the type " + settings_.format + " cannot be read by this version of Quorvane.\r\n" + path +
                "\r\nThis file will be skipped!",
            "Warning!", Icon::Exclamation);
    return false;
  }
  FileTmpName = path;
  File& src = source();
  src.close();
  src.setName(path);
  if (!src.open(Share::ReadOnly)) {
    Message(path + " cannot be opened\r\n" + ErrorText() + "\r\n" + "This file will be skipped!", "Warning!",
            Icon::Exclamation);
    parser_.reset();
    return false;
  }
  src.sendOption("QUICKSCAN=ON");
  sourceOpen_ = true;
  fileKind_ = 0;
  if (format_->openAs == OpenAs::Lines) {
    if (!parser_->start(*this)) {
      closeSource();
      return false;
    }
    src.setFileOrder();
    int kind = detectLineFormat(settings_.format, src, settings_.cisFileKind());
    if (kind == KindNoDb) {
      Message("Not a Forum message or mail file!\r\nMessages will not be imported!", "Warning!", Icon::Exclamation);
      closeSource();
      return false;
    }
    // Mail that this import cannot take is still read (and counted as
    // skipped), but the user hears where it can go.
    if (kind == KindMailDb && (!settings_.importMail || !mailbox()))
      Message(path + " holds CompuServe Mail, which is imported into a mailbox:\r\nchoose the message kind mail and "
                     "a mailbox to import it.",
              "Warning!", Icon::Exclamation);
    fileKind_ = kind;
    src.setFileOrder();
    return true;
  }
  if (format_->group == ParserGroup::GoldenCompass) fileKind_ = settings_.importMail ? KindMailDb : KindForumDb;
  if (format_->group == ParserGroup::WinCim) return true;  // read whole in one call
  if (!parser_->start(*this)) {
    closeSource();
    return false;
  }
  return true;
}

void ImportRun::closeSource() {
  if (sourceOpen_) source().close();
  sourceOpen_ = false;
  parser_.reset();
  fileRecords_ = -1;
}

void ImportRun::updateProgress() {
  if (stage_ <= ImportStage::ConvertFile && parser_ && fileRecords_ >= 0) {
    // a table read by records: the bar runs over its record count and shows
    // the number of the record reached
    view_.progressMax = std::max<int64_t>(1, fileRecords_);
    view_.progress = std::min(fileProgress_, view_.progressMax);
  } else if (stage_ <= ImportStage::ConvertFile) {
    int64_t done = doneBytes_;
    if (sourceOpen_) {
      int64_t at = source().position() + source().bytes();
      done += std::min<int64_t>(std::max<int64_t>(at, 0), currentSize_);
    }
    view_.progressMax = 100;
    view_.progress = totalBytes_ > 0 ? std::min<int64_t>(100, done * 100 / totalBytes_) : 0;
  } else {
    view_.progressMax = 100;
    view_.progress = tempTotal_ > 0 ? std::min<int64_t>(100, postedRecords_ * 100 / tempTotal_) : 100;
  }
}

}  // namespace qv
