#include "import/import_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/message_id.h"
#include "import/skip_reasons.h"
#include "originals/originals_store.h"
#include "services/datetime.h"
#include "services/disk_space.h"
#include "services/db_kind.h"
#include "services/dbref.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/crash_point.h"
#include "services/messages.h"
#include "services/paths.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/utilities.h"
#include "storage/buffer_guard.h"
#include "storage/collation.h"
#include "import/touched_databases.h"
#include "wordindex/import_index.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

const char* kTempFile = "Temporary File";
const char* kLowSpaceStatus = "The import was stopped: too little free disk space!";
const char* kFailedStatus = "The import was stopped by an error: the messages of the last commit are kept.";
const char* kInterruptedStatus = "The import was interrupted: the messages posted so far are kept.";
const char* kTempFilesStatus = "The import was stopped: its temporary files could not be written.";
const char* kPackingStatus = "The import was stopped: an original could not be packed.";

// The stopwatch that times a run.
constexpr int kImportStopwatch = 2;

// A posting commit holds whole messages: the messages posted since the last
// one, at most this many, and is made sooner once the transaction has been
// open this long. Each commit syncs every file it changed several times, so
// fewer, larger commits post faster; the time bounds what an interruption
// makes a rerun post again.
constexpr int kCommitMessages = 5000;
constexpr auto kCommitInterval = std::chrono::milliseconds(2000);

// The temporary files of a run: messages, carbon copies, Message-IDs and
// originals.
const std::vector<int> kTempFiles = {FileImpHeader, FileImpCCR, FileImpThreadId, FileImpOriginal};

}  // namespace


ImportRun::ImportRun(const ImportSettings& settings) : EngineRun(engine_, kNoBatchRules), settings_(settings) {
  format_ = formatByName(settings_.format);
  view_.caption = Mem.DoTask == RunUnattended ? "Scheduled import" : settings_.format + " Import Processing";
  runSlice_ = int(SpeedVal(KGet, ItemImportSlice, 16));
  parserSlice_ = int(SpeedVal(KGet, ItemSpeedImport, 20));
  if (runSlice_ < 1) runSlice_ = 4;
  if (parserSlice_ < 1) parserSlice_ = 10;
  savedDirnamn_ = Mem.Dirnamn;
  savedNumber_ = Mem.ForumNumber;
  savedDescription_ = Mem.Description;
  savedType_ = Mem.ForumType;
  startDate_ = today();
  startTime_ = clockNow();
  StartStop(1, kImportStopwatch);
  begin(0);
}

// The format of a run whose source has a reader of its own.
const FormatInfo kReaderFormat{0, "", ImportsForum | ImportsMail | ImportsNews, "", OpenAs::None, ParserGroup::None};

ImportRun::ImportRun(const ImportSettings& settings, std::unique_ptr<Parser> reader) : ImportRun(settings) {
  format_ = &kReaderFormat;
  reader_ = std::move(reader);
  readerRun_ = true;
  settings_.method = SelectFiles;
  settings_.masks = {settings_.path};
}

ImportRun::~ImportRun() { close(); }

Status ImportRun::status() const {
  if (result_ == 1 || stopReason_.empty() || stopReason_ == kInterruptedStatus) return Status();
  return Status::failure(result_, stopReason_);
}

File& ImportRun::source() { return format_ && format_->openAs == OpenAs::Lines ? LineFile : RawFile; }

bool ImportRun::step() {
  WarningLog problems(view_.problems);
  return tick(kEngineLoopSlice);
}

bool ImportRun::runSlice(std::chrono::milliseconds) {
  runStage();
  if (stage_ == ImportStage::Finished && keepOpen_) return false;
  return stage_ != ImportStage::Closed;
}

// The program is to end, or memory ran out: the open transaction goes, what
// the last commit left stands (a halt goes on to the program).
void ImportRun::ended() {
  if (stage_ != ImportStage::Closed && !closing_) abortRun(engine_.failure);
}

void ImportRun::runStage() {
  switch (stage_) {
    case ImportStage::Start: stageStart(); break;
    case ImportStage::NextDirectory: stageNextDirectory(); break;
    case ImportStage::NextFile: stageNextFile(); break;
    case ImportStage::ConvertFile: stageConvertFile(); break;
    case ImportStage::NextDatabase: stageNextDatabase(); break;
    case ImportStage::PostMessages: stagePostMessages(); break;
    case ImportStage::IndexDatabase: stageIndexDatabase(); break;
    case ImportStage::BuildSaveFileIndex: stageBuildSaveFileIndex(); break;
    case ImportStage::Finished: stageFinished(); break;
    case ImportStage::Closed: break;
  }
}

// ---------------------------------------------------------------------------
// Start

void ImportRun::stageStart() {
  if (!format_) {
    Message("The file type \"" + settings_.format + "\" is unknown.\r\nImport will not proceed!", "Warning!",
            Icon::Exclamation);
    finish(2);
    return;
  }
  // The installation's files the run holds to its end (let go by close()).
  holdFiles({FileControl});
  CTL = ControlRec();
  CTL.ID = 1;
  if (!Control.get(CTL_IdKey) || CTL.NEXTNUMBER == 0) {
    Message("No access to Control File!\r\nImport will not proceed!", "Warning!", Icon::Exclamation);
    finish(2);
    return;
  }
  nextNumber_ = CTL.NEXTNUMBER;
  reserveIdCounter(true);
  counterHeld_ = true;

  holdFiles({FileForums});
  targets_.load();
  if (settings_.importMail) owner_.load(settings_.mailbox);

  OP_CLOSE(OpEmpty, kTempFiles);
  numbersOfIds_.clear();
  OP_CLOSE(OpExclusive, kTempFiles);
  holdFiles({FileImpRegistry});
  ImpHeader.stream();
  ImpCCR.stream();
  ImpThreadId.stream();
  ImpOriginal.stream();

  // The directories and files to read.
  std::string root(trimRight(settings_.path));
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  std::error_code ec;
  if (settings_.method != SelectFiles && !fs::is_directory(root, ec))
    Message("The directory " + root + " does not exist and will be skipped!", " Import Error ", Icon::Exclamation);
  if (settings_.method == SelectTree) {
    std::deque<std::string> walk{root};
    while (!walk.empty()) {
      std::string d = walk.front();
      walk.pop_front();
      directories_.push_back(d);
      std::vector<std::string> subs;
      for (fs::directory_iterator it(d, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec)) subs.push_back(it->path().string());
      std::sort(subs.begin(), subs.end());
      for (auto& s : subs) walk.push_back(s);
    }
    // Sizes are summed as the directories are listed; a first pass gives the total.
    for (const std::string& d : directories_) {
      for (fs::directory_iterator it(d, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::string name = it->path().filename().string();
        for (const std::string& m : settings_.masks)
          if (matchesPattern(name, m)) {
            totalBytes_ += int64_t(it->file_size(ec));
            break;
          }
      }
    }
  } else {
    directories_.push_back(root);
    queueFilesOf(root);
    for (const QueuedFile& f : files_) totalBytes_ += f.size;
  }
  view_.progressMax = 100;
  view_.status = "Pre-import message conversion";
  stage_ = ImportStage::NextDirectory;
}

void ImportRun::stageConvertFile() {
  if (firstSlice_) {
    firstSlice_ = false;
    if (sinceFlush_ > 400) {
      if (!flushTemporaryFiles()) {
        closeSource();
        failTemporaryFiles();
        return;
      }
      for (int n : kTempFiles) declaredFile(n).stream();
      sinceFlush_ = 0;
    }
  }
  bool finished;
  if (format_->group == ParserGroup::Cs3 && !firstPassDone_) {
    view_.status = "Pre-import first pass";
    firstPassDone_ = parser_->firstPass(*this);
    finished = false;
    if (firstPassDone_) view_.status = "Pre-import message conversion";
  } else {
    finished = parser_->convert(*this);
  }
  updateProgress();
  if (writeFailed_) {
    // The temporary file could not be written: nothing of this run is posted.
    closeSource();
    failTemporaryFiles();
    return;
  }
  if (finished) {
    closeSource();
    // A file read to its end that gave nothing says so beside the warnings.
    if (view_.tempRecords + view_.skipped == messagesBeforeFile_)
      view_.problems.push_back(currentPath_ + ": no message found in it");
    doneBytes_ += currentSize_;
    updateProgress();
    stage_ = ImportStage::NextFile;
    return;
  }
  if (lowSpace(Mem.TempDir, "This may be too little for the temporary importfile. Running out of diskspace may "
                            "corrupt the currently accessed data file(s).Press OK if you want to continue and Cancel "
                            "if you want to abort the import!")) {
    closeSource();
    stopEarly(kLowSpaceStatus);
  }
}

// Returns true when the run must stop for lack of space.
bool ImportRun::lowSpace(const std::string& directory, const std::string& text) {
  int64_t free = freeSpace(directory);
  if (free < 0 || free >= kMinimumFreeSpace) return false;
  if (unattended()) return true;
  Beep();
  Button b = Message(lowSpaceStart(directory, free) + text,
                     "Warning", Icon::Exclamation, BtnOk | BtnCancel, BtnCancel);
  return b != BtnOk;
}


bool ImportRun::checkSpaceFor(int64_t bytes) { return CheckSpace(Mem.FileDir, bytes); }

void ImportRun::commitConversion() {
  // The counter goes back to the control file before anything is posted.
  CTL = ControlRec();
  CTL.ID = 1;
  bool ok = Control.get(CTL_IdKey);
  if (ok) {
    if (CTL.NEXTNUMBER < nextNumber_) CTL.NEXTNUMBER = nextNumber_;
    ok = Control.put();
  }
  reserveIdCounter(false);
  counterHeld_ = false;
  if (!ok) {
    Message(ErrorText() + "\r\nNext ID cannot be generated!", "Control File Error", Icon::Hand);
    finish(2);
    return;
  }

  view_.status = "Building Temporary File Index!";
  if (!takePackedOriginals(true)) {
    // The temporary file could not be written: nothing of this run is posted.
    failTemporaryFiles();
    return;
  }
  training_.trainRest();
  if (!flushTemporaryFiles()) {
    failTemporaryFiles();
    return;
  }
  for (auto [file, caption] : {std::pair<File*, const char*>{&ImpHeader, "NewHR Key Build Error!"},
                               {&ImpThreadId, "TempID Key Build Error!"},
                               {&ImpCCR, "NewHR Key Build Error!"},
                               {&ImpOriginal, "NewHR Key Build Error!"}}) {
    if (!file->buildKeys() && ErrorCode() != ErrKeyBuilt) {
      Message(ErrorText() + "\r\nMessages will not be imported!", caption, Icon::Hand);
      stopReason_ = kTempFilesStatus;
      stage_ = ImportStage::Finished;
      return;
    }
  }
  if (!checkSpaceFor(GetFSize(qv::filePath(FileImpHeader)))) {
    stage_ = ImportStage::Finished;
    return;
  }
  targets_.dropUnused();
  for (auto& [key, t] : targets_.entries()) toPost_.push_back(t);
  tempTotal_ = ImpHeader.records();
  view_.tempRecords = tempTotal_;
  if (toPost_.empty()) {
    if (filesTaken_ == 0 && settings_.method != SelectFiles)
      view_.problems.push_back("No file in " + std::string(trimRight(settings_.path)) + " matches " +
                               ImportSettings::joinMasks(settings_.masks));
    Message("No messages found in selected file(s)!\r\nImport unsuccessful!", "Warning!", Icon::Exclamation);
    stage_ = ImportStage::Finished;
    return;
  }
  view_.fromLabel = " Importing from: ";
  view_.toLabel = " Importing to: ";
  view_.fileName = kTempFile;
  view_.status = "Importing messages";
  view_.countersEnabled = true;
  stage_ = ImportStage::NextDatabase;
}

// ---------------------------------------------------------------------------
// The ImportContext services for parsers

Target* ImportRun::target(const std::string& name, int kind) {
  Target* t = targets_.findOrCreate(name, kind, [this] { return nextNumber_++; });
  if (!t || !t->allowed) return nullptr;
  // With "database creation only" a database that a message names is made
  // even though no message reaches it.
  if (creationOnly()) t->received = true;
  return t;
}

Target* ImportRun::mailbox() {
  Target* t = targets_.findId(settings_.mailbox);
  if (!t || t->kind != KindMailDb || !t->allowed) return nullptr;
  return t;
}

bool ImportRun::alreadyImported(uint32_t database, uint32_t msgNumber) {
  if (settings_.allowReimport) return false;
  IMP = ImpRegistryRec();
  IMP.FORUMNUMBER = database;
  IMP.MSGNUMBER = msgNumber;
  return ImpRegistry.get(IMP_IDKEY);
}

void ImportRun::skip() {
  ++view_.skipped;
  offered_ = false;
  offeredBytes_.reset();
}

void ImportRun::skip(const std::string& reason) {
  skip();
  ++view_.skippedFor[reason];
}

bool ImportRun::emit() {
  NHR.IMPDATE = startDate_;
  NHR.IMPTIME = startTime_;
  if (!ImpHeader.add()) {
    if (ErrorCode() == ErrDuplicateKey) {
      // The same message met twice in this run: the first one stands.
      skip(kSkipTwiceInRun);
      return true;
    }
    Message("Record add error!\r\n" + ErrorText(), ImpHeader.name(), Icon::Hand);
    writeFailed_ = true;
    return false;
  }
  if (!emitOriginal()) return false;
  if (Target* t = targets_.findId(NHR.INTERNAL)) t->received = true;
  crashPoint("conversion-message");
  ++view_.tempRecords;
  ++sinceFlush_;
  return true;
}

bool ImportRun::emitCarbonCopy() {
  if (!ImpCCR.add()) {
    if (ErrorCode() == ErrDuplicateKey) return true;  // one recipient once per mail
    writeFailed_ = true;
    return false;
  }
  ++sinceFlush_;
  return true;
}

bool ImportRun::emitMessageId(uint32_t number, const std::string& id) {
  TID = ImpThreadIdRec();
  TID.MSGNUMBER = number;
  TID.IDSTRING = messageIdKey(id);
  if (!ImpThreadId.add()) {
    if (ErrorCode() == ErrDuplicateKey) return true;
    writeFailed_ = true;
    return false;
  }
  numbersOfIds_.emplace(TID.IDSTRING.str(), number);
  ++sinceFlush_;
  return true;
}

std::string ImportRun::messageIdOf(uint32_t number) {
  TID = ImpThreadIdRec();
  TID.MSGNUMBER = number;
  return ImpThreadId.get(TID_IDKEY) ? TID.IDSTRING.str() : std::string();
}

uint32_t ImportRun::numberOfMessageId(const std::string& id) {
  // The file is keyed by number only, so the run keeps the ID strings it
  // wrote in memory (a walk of the file for every reference of every
  // article of a spool directory would grow with the square of its size).
  // The first number written for an ID string is the one that counts.
  auto it = numbersOfIds_.find(messageIdKey(id));
  return it == numbersOfIds_.end() ? 0 : it->second;
}

// ---------------------------------------------------------------------------
// Posting

std::vector<int> ImportRun::databaseFiles(int kind) const {
  switch (kind) {
    case KindForumDb:
      return {FileMsgNmbr, FileMsgText, FilePerson, FileSections, FileThreads, FilePLINK, FileSubjects, FileExtras};
    case KindNewsDb: {
      std::vector<int> files = {FileMsgNmbr, FileMsgText,    FilePerson,   FileSections, FileThreads,
                                FilePLINK,   FileMsgIdIndex, FileSubjects, FileExtras};
      if (currentKeepsOriginals_) files.push_back(FileOriginals);
      return files;
    }
    case KindMailDb: {
      std::vector<int> files = {FileMail,  FileMsgText, FilePerson,   FileCCR,
                                FilePLINK, FileSIndex,  FileSubjects, FileExtras};
      if (currentKeepsOriginals_) files.push_back(FileOriginals);
      return files;
    }
    default: return {};
  }
}

// The files of one posting transaction: the database's, the control file
// (thread IDs), the database list (the message count) and, for forum
// messages, the message save file. The person links are read, never written,
// by posting (a link to a person that is gone is left for the purge): a
// newsgroup's transaction would otherwise pass the 11 files one may hold.
std::vector<File*> ImportRun::postingFiles() const {
  std::vector<File*> files;
  for (int n : postingScope_.files())
    if (n != FilePLINK) files.push_back(&declaredFile(n));
  files.push_back(&declaredFile(FileControl));
  files.push_back(&declaredFile(FileForums));
  if (currentKind_ == KindForumDb) files.push_back(&declaredFile(FileImpRegistry));
  return files;
}

void ImportRun::releaseDatabaseFiles() {
  postingScope_.release();
}

void ImportRun::openDatabaseFiles(int kind) {
  releaseDatabaseFiles();
  std::vector<int> files = databaseFiles(kind);
  // A file still open for another database must not be written under this one's name.
  for (int n : files)
    if (useCount(n) > 0 && declaredFile(n).name() != qv::filePath(n)) OP_CLOSE(OpForceClose, {n});
  postingScope_ = FileScope(std::move(files));
}

void ImportRun::stageNextDatabase() {
  if (inTransaction_ && !commitPosting()) {
    abortRun("");
    return;
  }
  if (toPost_.empty()) {
    current_ = Target();
    stage_ = ImportStage::BuildSaveFileIndex;
    return;
  }
  current_ = toPost_.front();
  toPost_.pop_front();
  currentKind_ = current_.kind;
  view_.targetName = current_.name;
  // The database posted into is the current one until the run closes (its
  // word index is read and written as the current database's).
  Mem.Dirnamn = "F" + std::to_string(current_.dirNumber);
  Mem.ForumNumber = current_.id;
  Mem.Description = current_.name;
  Mem.ForumType = currentKind_;

  std::string dir = joinPath({Mem.FileDir, Mem.Dirnamn});
  std::error_code ec;
  bool dirMissing = !fs::is_directory(dir, ec);
  if (dirMissing) ExistPath(PathCreate, 0, "", dir, true);
  FOR = ForumsRec();
  FOR.ID = current_.id;
  bool listed = Forums.get(FOR_ForumKey);
  indexWords_ = settings_.indexWords || (listed && FOR.INDEXTYPE == 1);
  if (current_.created && !listed) {
    FOR = ForumsRec();
    FOR.ID = current_.id;
    FOR.DESCRIPTION = current_.name;
    FOR.DIRNUMBER = current_.dirNumber;
    FOR.CREATED = today();
    FOR.TYPE = uint8_t(current_.kind);
    FOR.WORDLISTINDEXNEEDSUPDATE = 1;
    FOR.INDEXTYPE = 0;
    if (!UppDat(Forums, OpAdd, ReportShow)) {
      abortRun("");
      return;
    }
  }
  // The self-description is written with a new database; a run stopped
  // before it was written writes it now.
  bool refMissing = !fs::exists(qv::filePath(FileDbRef), ec);
  if (current_.created || dirMissing || refMissing) {
    FOR = ForumsRec();
    FOR.ID = current_.id;
    if (Forums.get(FOR_ForumKey)) {
      FileScope scope({FileDbRef});
      UpdREF(ReportShow);
    }
  }
  // A database made before originals were kept is left as it is. A new
  // newsgroup (one this run makes, or one a stopped run made that has no
  // article yet) keeps the originals of its articles: its setting is
  // written in the transaction of its first articles, so that a run stopped
  // before them leaves it new.
  releaseDatabaseFiles();  // the last database's, not to be read under this one's name
  currentKeepsOriginals_ = qv::keepsOriginals(currentKind_);
  keepSettingDue_ = !currentKeepsOriginals_ && currentKind_ == KindNewsDb &&
                    (current_.created || newNewsgroupIn(current_.dirNumber));
  currentKeepsOriginals_ = currentKeepsOriginals_ || keepSettingDue_;
  openDatabaseFiles(currentKind_);
  if (current_.created) crashPoint("database-made");
  // The count starts from the messages the database holds, so that a count
  // left wrong by an older program is right again after this run.
  databaseCount_ = currentKind_ == KindMailDb ? Mail.records() : MsgNmbr.records();
  view_.inDatabase = databaseCount_;

  sections_.clear();
  if (currentKind_ != KindMailDb) {
    Sections.setFileOrder();
    while (Sections.next()) sections_[{SEC.SECTIONNUMBER, SEC.DESCRIPTION.str()}] = SEC.SECSYSID;
  }
  personCounts_.clear();
  threadCounts_.clear();
  sectionCounts_.clear();
  answeredAnew_.clear();
  newMessages_ = 0;
  if (currentKind_ == KindMailDb) owner_.load(current_.id);
  poster_ = std::make_unique<Poster>(settings_, startDate_, startTime_);
  poster_->setDatabase(current_.id, currentKind_, currentKind_ == KindMailDb ? &owner_ : nullptr,
                       currentKeepsOriginals_, training_.dictionary(current_.id));
  startIndexing();
  NHR = ImpHeaderRec();
  NHR.INTERNAL = current_.id;
  ImpHeader.setPrefix(NHR_MSGKEY, 1);
  tempPositioned_ = true;
  view_.status = "Importing messages";
  stage_ = ImportStage::PostMessages;
}

bool ImportRun::beginPosting() {
  if (!beginTransaction(postingFiles(), 5)) {
    if (!unattended()) Message("Transaction Frame Error!\r\n" + ErrorText(), "Warning!", Icon::Exclamation);
    rollbackTransaction();
    return false;
  }
  inTransaction_ = true;
  sinceCommit_ = 0;
  transactionBegun_ = std::chrono::steady_clock::now();
  if (keepSettingDue_ && !writeKeepSetting(true, ReportRollback)) {
    inTransaction_ = transactionActive();
    return false;
  }
  return true;
}

// Applies the counts of the messages posted since the last commit, then
// commits them all together.
bool ImportRun::commitPosting() {
  if (!inTransaction_) return true;
  if (!applyCounts()) {
    inTransaction_ = transactionActive();
    index_.reset();
    return false;
  }
  inTransaction_ = false;
  crashPoint("posting-commit");
  if (!commitTransaction()) {
    TransactionCheck();
    index_.reset();  // its words belong to messages that were not kept
    return false;
  }
  crashPoint("index-commit");
  commitIndex();
  keepSettingDue_ = false;
  databaseCount_ += newMessages_;
  newMessages_ = 0;
  view_.inDatabase = databaseCount_;
  return true;
}

uint32_t ImportRun::sectionFor(int kind) {
  if (kind == KindMailDb) return 0;
  if (kind == KindForumDb) {
    auto it = sections_.find({NHR.SECTIONNUMBER, NHR.SEC_DESCRIPTION.str()});
    if (it != sections_.end()) return it->second;
  } else if (!sections_.empty()) {
    return sections_.begin()->second;
  }
  uint32_t id = kind == KindForumDb ? NextNr() : 1;
  if (id == 0) return 0;
  SEC = SectionsRec();
  SEC.SECTIONNUMBER = NHR.SECTIONNUMBER;
  SEC.SECSYSID = id;
  SEC.DESCRIPTION = NHR.SEC_DESCRIPTION;
  SEC.MSGCOUNT = 0;
  if (!UppDat(Sections, OpAdd, ReportRollback)) return 0;
  sections_[{NHR.SECTIONNUMBER, NHR.SEC_DESCRIPTION.str()}] = id;
  return id;
}

void ImportRun::noteTouched(uint32_t database) {
  if (std::find(touched_.begin(), touched_.end(), database) != touched_.end()) return;
  touched_.push_back(database);
  // A scheduled task cleans up every database its imports post into.
  noteDatabaseTouched(database);
}

void ImportRun::stagePostMessages() {
  if (!inTransaction_) {
    if (!beginPosting()) {
      abortRun("");
      return;
    }
  }
  postingBegun_ = true;
  bool done = false;
  for (int i = 0; i < runSlice_; ++i) {
    if (!ImpHeader.next() || NHR.INTERNAL != current_.id) {
      done = true;
      break;
    }
    ++postedRecords_;
    uint32_t section;
    {
      BufferGuard keep({&ImpHeader});
      section = sectionFor(currentKind_);
    }
    if (currentKind_ != KindMailDb && section == 0) {
      inTransaction_ = transactionActive();
      abortRun("");
      return;
    }
    PostResult r = poster_->post(section);
    if (r.code == PostSkipped) {
      if (r.skipReason)
        skip(r.skipReason);
      else
        ++view_.skipped;
      continue;
    }
    if (r.code == PostFailed) {
      inTransaction_ = transactionActive();
      abortRun("");
      return;
    }
    ++view_.imported;
    noteTouched(current_.id);
    if (index_) index_->add(r.number, r.textPosition);
    if (!r.countsApply) ++view_.updated;
    ++sinceCommit_;
    countPosted(r, section);
    crashPoint("posting-message");
  }
  updateProgress();
  if (done) crashPoint("posting-last-commit");
  int commitMessages = settings_.commitMessages > 0 ? settings_.commitMessages : kCommitMessages;
  if (done || sinceCommit_ >= commitMessages ||
      std::chrono::steady_clock::now() - transactionBegun_ >= kCommitInterval) {
    if (!commitPosting()) {
      abortRun("");
      return;
    }
  }
  if (done) {
    stage_ = indexWords_ ? ImportStage::IndexDatabase : ImportStage::NextDatabase;
    return;
  }
  if (lowSpace(Mem.FileDir, "This may be too little to allow import. Running out of diskspace may corrupt the "
                            "currently accessed data file(s).Press OK if you want to continue and Cancel if you want "
                            "to abort the import!")) {
    stopEarly(kLowSpaceStatus);
  }
}

void ImportRun::stageBuildSaveFileIndex() {
  // The save file's key is kept up to date while posting: nothing to build.
  result_ = 1;
  stage_ = ImportStage::Finished;
}

// ---------------------------------------------------------------------------
// The end

void ImportRun::stageFinished() {
  if (keepOpen_) return;
  elapsed_ = StartStop(2, kImportStopwatch);
  if (!stopReason_.empty())
    view_.status = stopReason_;
  else
    view_.status = view_.imported > 0 ? "The import process has finished!" : "No messages to import!";
  int64_t completion = readerRun_ ? 0 : KonfigGet(ItemImportCompletion);
  if (completion == 1) {
    if (!unattended()) {
      Beep();
      Message("The time for completion was: " + std::to_string(elapsed_) + " seconds", " Import Processing ",
              Icon::Information);
    }
    close();
  } else if (completion == 0) {
    close();
  } else {
    keepOpen_ = true;  // the window stays until the user closes it
  }
}

void ImportRun::finish(int result) {
  result_ = result;
  close();
}

// A message not written to the temporary file would be lost without a
// word: a flush that fails (a full disk) stops the run before it posts.
bool ImportRun::flushTemporaryFiles() {
  for (int n : kTempFiles) {
    File& f = declaredFile(n);
    if (!f.flush()) {
      Message("Record add error!\r\n" + ErrorText(), f.name(), Icon::Hand);
      return false;
    }
  }
  return true;
}

void ImportRun::failTemporaryFiles() {
  stopReason_ = packingFailed_ ? kPackingStatus : kTempFilesStatus;
  view_.status = stopReason_;
  finish(2);
}

// The run stops before its end, keeping what it has committed: what was
// posted since the last commit is committed first, with its counts.
void ImportRun::stopEarly(const std::string& reason) {
  if (inTransaction_ && !commitPosting()) {
    abortRun("");
    return;
  }
  result_ = 2;
  stopReason_ = reason;
  stage_ = ImportStage::Finished;
}

// A write failed or a transaction could not be had: the run ends at once.
// What the last commit left stands; the open transaction is rolled back.
void ImportRun::abortRun(const std::string& reason) {
  if (transactionActive()) rollbackTransaction();
  index_.reset();  // the words of messages rolled back are not written
  indexRun_.reset();
  inTransaction_ = false;
  result_ = 2;
  stopReason_ = reason.empty() ? kFailedStatus : reason;
  view_.status = stopReason_;
  close();
}

bool ImportRun::stop() {
  if (stage_ == ImportStage::Closed) return true;
  // Counts are committed with the messages they count: stopping never
  // leaves them wrong, so nothing needs to be asked.
  if (inTransaction_ && !commitPosting()) {
    abortRun("");
    return true;
  }
  if (stage_ != ImportStage::Finished) {
    stopReason_ = kInterruptedStatus;
    view_.status = stopReason_;
  }
  close();
  return true;
}

void ImportRun::close() {
  if (stage_ == ImportStage::Closed || closing_) return;
  closing_ = true;
  // What was posted since the last commit is committed with its counts, or
  // not at all.
  if (inTransaction_ && !commitPosting()) {
    result_ = 2;
    stopReason_ = kFailedStatus;
    view_.status = stopReason_;
  }
  if (transactionActive()) rollbackTransaction();
  inTransaction_ = false;
  // The index keeps the words of what was committed.
  if (index_) index_->finish();
  index_.reset();
  indexRun_.reset();
  closeSource();
  if (counterHeld_) {
    reserveIdCounter(false);
    counterHeld_ = false;
  }
  if (Mem.DoTask == RunUnattended && result_ != 1) Mem.DoTask = RunAbandoning;
  releaseDatabaseFiles();
  // The temporary files held a copy of every message read: they are emptied,
  // which also gives their space back after a stop on a full disk.
  OP_CLOSE(OpForceClose, kTempFiles);
  if (stage_ != ImportStage::Start) OP_CLOSE(OpEmpty, kTempFiles);
  stage_ = ImportStage::Closed;
  closing_ = false;
  engine_.failure = stopReason_;
  end(result_ == 1                                                 ? EngineState::Finished
      : stopReason_.empty() || stopReason_ == kInterruptedStatus ? EngineState::Stopped
                                                                   : EngineState::Failed);
  EngineRun::close();  // lets go of the installation's files the run held
  Mem.Dirnamn = savedDirnamn_;
  Mem.ForumNumber = savedNumber_;
  Mem.Description = savedDescription_;
  Mem.ForumType = savedType_;
  if (onClosed_) {
    auto f = std::move(onClosed_);
    onClosed_ = nullptr;
    f();
  }
}

}  // namespace qv
