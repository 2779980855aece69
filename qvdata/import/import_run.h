// One import run as an engine that a window, qvcli and the task
// runner drive alike, one slice per step() (procedure IMPORTIT).
//
// The run converts every selected source file into temporary records, then
// posts them database by database. It shows its questions and messages
// through the prompt interface (nothing in the unattended run modes) and
// exposes what its window displays in view().
//
// Every commit of the posting leaves the archive consistent: the messages of
// a commit, their texts, whole subjects, carbon copies, save-file and
// Message-ID records, and the counts they change (persons, threads, sections,
// the database's message count) commit together or not at all. A run
// interrupted at any point (a kill, a full disk, a write failure) and run
// again therefore ends with the archive of an uninterrupted run: messages
// already posted are found again as duplicates and skipped.
//
// It runs on the one engine base (services/engine_run.h): the run keeps its
// batches, the base its state and its end, and ends it on a halt or a full
// memory (the open batch rolled back, the files let go).
#pragma once

#include <chrono>
#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "import/formats.h"
#include "import/import_settings.h"
#include "import/owner.h"
#include "import/original_training.h"
#include "import/parser.h"
#include "import/posting.h"
#include "import/target_list.h"
#include "originals/pack_queue.h"
#include "services/disk_space.h"
#include "services/engine_run.h"
#include "services/file_scope.h"
#include "services/prompt.h"
#include "services/status.h"
#include "wordindex/index_run.h"

namespace qv {

class ImportIndex;

enum class ImportStage {
  Start,
  NextDirectory,
  NextFile,
  ConvertFile,
  NextDatabase,
  PostMessages,
  IndexDatabase,  // the word index of the database just posted into brought up to date
  BuildSaveFileIndex,
  Finished,
  Closed,
};

// What the import window shows.
struct ImportView {
  std::string caption;
  std::string status;
  std::string fromLabel = " Importing from: ";
  std::string toLabel = " Importing to: ";
  std::string fileName;     // the source file, or "Temporary File" while posting
  std::string targetName;   // the database being posted into
  int64_t imported = 0;     // messages imported
  int64_t updated = 0;      // of them, messages the database held already and that were written again
  int64_t skipped = 0;      // messages skipped
  std::map<std::string, int64_t> skippedFor;  // of them, those with a known reason, by reason
  // The warnings and errors of the run, one line each, shown or not (an
  // unattended run shows none): a source skipped with the reason, a failure.
  std::vector<std::string> problems;
  int64_t indexed = 0;      // messages whose words went to the word index
  int64_t tempRecords = 0;  // records in the temporary file
  int64_t inDatabase = 0;   // messages already in the target database
  bool countersEnabled = false;
  int64_t progress = 0;     // 0..progressMax
  int64_t progressMax = 100;
};


class ImportRun : public ImportContext, private EngineRun {
 public:
  explicit ImportRun(const ImportSettings& settings);
  // A run whose one source is read by `reader` rather than by a format's
  // parser over a file (a database merged into another): the settings'
  // path names the source for the messages; the run ends without the
  // completion message.
  ImportRun(const ImportSettings& settings, std::unique_ptr<Parser> reader);
  ~ImportRun() override;
  ImportRun(const ImportRun&) = delete;
  ImportRun& operator=(const ImportRun&) = delete;

  // Runs one slice. Returns false once the run has closed (or, with the
  // completion setting that keeps the window open, once it has finished).
  bool step();
  ImportStage stage() const { return stage_; }
  bool closed() const { return stage_ == ImportStage::Closed; }
  // The Stop button or the window's close: asks, when posting has begun,
  // whether the counts may be left wrong. Returns true when the run closed.
  bool stop();
  // Closes the run (files, locks) without asking; used when the window goes.
  void close();
  int result() const { return result_; }  // 1 completed, 2 not completed
  // Ok when the run completed or was stopped by the user; else why it
  // stopped.
  Status status() const;
  // Why a run that did not complete stopped (empty when it completed or was
  // stopped by the user).
  const std::string& stopReason() const { return stopReason_; }
  const ImportView& view() const { return view_; }
  int64_t elapsedSeconds() const { return elapsed_; }
  // Databases that received messages in this run (for the task runner);
  // one whose messages were all there already is not among them.
  const std::vector<uint32_t>& touchedDatabases() const { return touched_; }
  // Called once when the run closes (the wizard's notification).
  void onClosed(std::function<void()> f) { onClosed_ = std::move(f); }

  // ImportContext
  const ImportSettings& settings() const override { return settings_; }
  const FormatInfo& format() const override { return *format_; }
  int fileKind() const override { return fileKind_; }
  const std::string& filePath() const override { return currentPath_; }
  File& source() override;
  int sliceSize() const override { return parserSlice_; }
  uint32_t nextNumber() override { return nextNumber_++; }
  Target* target(const std::string& name, int kind) override;
  Target* existingTarget(const std::string& name, int kind) override {
    Target* t = targets_.find(name);
    return t && t->kind == kind && t->allowed ? t : nullptr;
  }
  Target* mailbox() override;
  bool alreadyImported(uint32_t database, uint32_t msgNumber) override;
  bool creationOnly() const override { return settings_.filter == FilterCreateOnly; }
  OwnerAddresses& owner() override { return owner_; }
  void skip() override;
  void skip(const std::string& reason) override;
  bool emit() override;
  void offerOriginal(std::optional<std::string> bytes) override;
  bool emitCarbonCopy() override;
  bool emitMessageId(uint32_t number, const std::string& id) override;
  std::string messageIdOf(uint32_t number) override;
  uint32_t numberOfMessageId(const std::string& id) override;
  void progress(int64_t amount) override { fileProgress_ += amount; }
  void progressByRecords(int64_t records) override { fileRecords_ = std::max<int64_t>(0, records); }
  int runSliceSize() const override { return runSlice_; }

 private:
  struct QueuedFile {
    std::string path;
    int64_t size;
  };
  struct Counts {
    int64_t sent = 0;
    int64_t received = 0;
  };

  // EngineRun: one stage; false once the run has closed or finished with
  // its window kept open.
  bool runSlice(std::chrono::milliseconds) override;
  // A run the base ended (a halt, no memory) is aborted: its open batch is
  // rolled back and it closes.
  void ended() override;

  // Runs the current stage's slice.
  void runStage();
  void stageStart();
  void stageNextDirectory();
  void stageNextFile();
  void stageConvertFile();
  void commitConversion();
  void stageNextDatabase();
  void stagePostMessages();
  // import_run_index.cpp
  // The current database's index, kept as its messages are posted when its
  // words go to the index in this run and the index is up to date.
  void startIndexing();
  // After a posting commit: the words of its messages committed to the index.
  void commitIndex();
  void stageIndexDatabase();
  // import_counts.cpp
  void countPosted(const PostResult& r, uint32_t section);
  bool applyCounts();
  bool applyReceivers();
  bool applyPersonCounts();
  bool applyThreadCounts();
  bool applySectionCounts();
  void stageBuildSaveFileIndex();
  void stageFinished();

  void queueFilesOf(const std::string& directory);
  bool openSource(const std::string& path);
  void closeSource();
  bool lowSpace(const std::string& directory, const std::string& text);
  bool checkSpaceFor(int64_t bytes);
  void finish(int result);
  // The temporary files could not be written or their keys built: nothing
  // is posted, and the status says why.
  void failTemporaryFiles();
  // Writes what the temporary files hold in memory; false (shown) when a
  // write failed.
  bool flushTemporaryFiles();
  void abortRun(const std::string& reason);
  void stopEarly(const std::string& reason);
  void openDatabaseFiles(int kind);
  void releaseDatabaseFiles();
  bool beginPosting();
  bool commitPosting();
  std::vector<File*> postingFiles() const;
  uint32_t sectionFor(int kind);
  void updateProgress();
  std::vector<int> databaseFiles(int kind) const;
  // True when the target database keeps originals (asked once per run).
  bool targetKeepsOriginals(const Target& t);
  // Hands the original offered for the record just written in NHR to the
  // packing thread when its database keeps originals, and writes what it
  // has packed; false on a write failure.
  bool emitOriginal();
  // Writes the packed originals to the temporary file, in the order their
  // messages came: those done, or with `all` every one; false on a write
  // failure.
  bool takePackedOriginals(bool all);
  // The database received a message in this run: a scheduled task cleans
  // it up afterwards (noted once, on disk before the message is committed).
  void noteTouched(uint32_t database);

  EngineView engine_;  // the base's view: the failure of a run it ended
  ImportSettings settings_;
  const FormatInfo* format_ = nullptr;
  std::unique_ptr<Parser> reader_;  // the source's own reader, until the source is opened
  bool readerRun_ = false;
  std::unique_ptr<Parser> parser_;
  ImportStage stage_ = ImportStage::Start;
  ImportView view_;
  int result_ = 2;
  std::string stopReason_;
  int64_t elapsed_ = 0;
  std::vector<uint32_t> touched_;
  std::function<void()> onClosed_;

  // Conversion.
  std::deque<std::string> directories_;
  std::deque<QueuedFile> files_;
  std::string currentDir_;
  std::string currentPath_;
  int64_t totalBytes_ = 0;
  int64_t doneBytes_ = 0;
  int64_t currentSize_ = 0;
  int64_t messagesBeforeFile_ = 0;  // temporary records and skips before the current file
  int64_t filesTaken_ = 0;          // source files taken from the queue
  bool keepSettingDue_ = false;     // a new newsgroup's originals setting goes with its first commit
  int64_t fileProgress_ = 0;
  int64_t fileRecords_ = -1;  // the record count of a file read by records; -1 when read by bytes
  bool sourceOpen_ = false;
  bool firstSlice_ = true;
  bool firstPassDone_ = false;
  int fileKind_ = 0;
  int parserSlice_ = 20;
  int runSlice_ = 16;
  uint32_t nextNumber_ = 0;
  bool counterHeld_ = false;
  bool writeFailed_ = false;  // a temporary record could not be written
  bool packingFailed_ = false;  // ... because an original could not be packed
  int64_t sinceFlush_ = 0;
  TargetList targets_;
  OwnerAddresses owner_;
  // The original offered for the next record: none offered, or its bytes
  // (nullopt: too long to keep).
  bool offered_ = false;
  std::optional<std::string> offeredBytes_;
  std::map<uint32_t, bool> keepsOriginals_;  // by database ID
  OriginalTraining training_;                // the databases' dictionaries
  OriginalPackQueue packing_;                // originals being hashed and packed
  bool currentKeepsOriginals_ = false;

  // Posting.
  std::deque<Target> toPost_;
  Target current_;
  int currentKind_ = 0;
  FileScope postingScope_{std::vector<int>{}};  // the files of the database being posted into
  std::unique_ptr<Poster> poster_;
  bool indexWords_ = false;                  // the current database's words go to its index
  std::unique_ptr<ImportIndex> index_;       // its index, kept as its messages are posted
  std::unique_ptr<IndexRun> indexRun_;       // the run that brings its index up to date at its end
  int64_t indexedBefore_ = 0;                // messages indexed for the databases posted before
  bool inTransaction_ = false;
  int64_t sinceCommit_ = 0;  // messages posted since the last commit
  std::chrono::steady_clock::time_point transactionBegun_;
  bool postingBegun_ = false;
  bool tempPositioned_ = false;
  std::map<std::pair<int, std::string>, uint32_t> sections_;  // (number, name) -> SECSYSID
  // Counts changed by the messages posted since the last commit; applied in
  // the same transaction as the messages.
  std::map<uint32_t, Counts> personCounts_;
  std::map<uint32_t, int64_t> threadCounts_;
  std::map<uint32_t, int64_t> sectionCounts_;
  // Newsgroup articles whose answers may need their receiver set again.
  std::set<uint32_t> answeredAnew_;
  int64_t newMessages_ = 0;   // messages new to the database since the last commit
  int64_t databaseCount_ = 0; // the database's committed message count
  std::unordered_map<std::string, uint32_t> numbersOfIds_;  // ID strings written this run
  int64_t postedRecords_ = 0;
  int64_t tempTotal_ = 0;

  // State of the program before the run, restored at close.
  std::string savedDirnamn_;
  uint32_t savedNumber_ = 0;
  std::string savedDescription_;
  int savedType_ = 0;
  int32_t startDate_ = 0;
  int32_t startTime_ = 0;
  bool keepOpen_ = false;
  bool closing_ = false;
};

}  // namespace qv
