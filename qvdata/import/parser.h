// What a format's parser sees of the import run, and what the run sees of a
// parser.
//
// A parser reads the source file (the line file LineFile / ASC for line
// formats, the block file RawFile / DOS for block formats, opened by the run)
// and, per message, fills the temporary record buffer NHR (and CCT for carbon
// copies) and hands it to the run with emit(). Forum messages carry their
// CompuServe number; mail and newsgroup messages a number from nextNumber().
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "import/formats.h"
#include "import/import_settings.h"
#include "import/owner.h"
#include "import/target_list.h"
#include "services/db_kind.h"

namespace qv {

class File;

class ImportContext {
 public:
  virtual ~ImportContext() = default;
  virtual const ImportSettings& settings() const = 0;
  virtual const FormatInfo& format() const = 0;
  // The database kind of the current file's messages as detection or the
  // settings decided (KindForumDb or KindMailDb; 0 when the format's kind is
  // fixed).
  virtual int fileKind() const = 0;
  // The full path of the file being converted.
  virtual const std::string& filePath() const = 0;
  // The source file as opened by the run (LineFile or RawFile).
  virtual File& source() = 0;
  // Messages per convert call (the parser slice of the speed settings).
  virtual int sliceSize() const = 0;
  // The next number of the run's counter (mail and newsgroup message numbers,
  // IDs of databases created by the run).
  virtual uint32_t nextNumber() = 0;
  // The target database of a name for a database kind (DbKind), created for
  // forum and newsgroup names when missing; nullptr when the
  // message must be skipped because there is no such database or it may not
  // receive imports.
  virtual Target* target(const std::string& name, int kind) = 0;
  // The target database of a name for a kind when one exists already (in
  // the database list, or made earlier in this run), without making one;
  // nullptr when there is none of that kind or it may not receive imports.
  // A context that cannot tell answers nullptr.
  virtual Target* existingTarget(const std::string& /*name*/, int /*kind*/) { return nullptr; }
  // The mailbox of the settings; nullptr when missing or closed to imports.
  virtual Target* mailbox() = 0;
  // True when a forum message is already recorded in the message save file and
  // reimport is not allowed: the message must be skipped.
  virtual bool alreadyImported(uint32_t database, uint32_t msgNumber) = 0;
  // True with the filter "database creation only": messages are counted as
  // skipped after their database was looked up or created.
  virtual bool creationOnly() const = 0;
  virtual OwnerAddresses& owner() = 0;
  // Counts a message as skipped.
  virtual void skip() = 0;
  // Counts a message as skipped for a reason the run's summary names
  // (import/skip_reasons.h). A context that keeps no reasons just counts it.
  virtual void skip(const std::string& /*reason*/) { skip(); }
  // Writes the temporary record in NHR (target database ID, number, text ...).
  // The target is marked as having received a message. False on a write failure.
  virtual bool emit() = 0;
  // The original of the mail or article that the next emit() writes: its
  // bytes as the source holds them, nullopt when they are too long to keep.
  // emit() and skip() take it; a mail or article emitted without one is
  // taken for a message whose source holds none. A context that keeps no
  // originals ignores it.
  virtual void offerOriginal(std::optional<std::string> /*bytes*/) {}
  // Writes the carbon-copy record in CCT.
  virtual bool emitCarbonCopy() = 0;
  // Records the Message-ID string given to a number (newsgroup messages).
  virtual bool emitMessageId(uint32_t number, const std::string& id) = 0;
  // The Message-ID string of a number given earlier in this run; empty if none.
  virtual std::string messageIdOf(uint32_t number) = 0;
  // The number given to a Message-ID string earlier in this run; 0 if none.
  virtual uint32_t numberOfMessageId(const std::string& id) = 0;
  // Adds to the progress of the file (bytes or records read).
  virtual void progress(int64_t amount) = 0;
  // A file read by records (the DBF tables): the progress of the file runs
  // over its `records` (deleted ones included) rather than its bytes, and
  // progress() counts record positions.
  virtual void progressByRecords(int64_t /*records*/) {}
  // Records per convert call of a parser that converts one record per step
  // (the run's own slice of the speed settings).
  virtual int runSliceSize() const { return sliceSize(); }
};

// The kind of the current CompuServe reader's file: the file's kind when
// it is forum or mail, else the kind the settings take it for.
inline int cisKindOf(const ImportContext& ctx) {
  int kind = ctx.fileKind();
  return kind == KindForumDb || kind == KindMailDb ? kind : ctx.settings().cisFileKind();
}

class Parser {
 public:
  virtual ~Parser() = default;
  // The file was just opened: reset, read the first block. False rejects the
  // file (the parser has shown why, unless unattended).
  virtual bool start(ImportContext& /*ctx*/) { return true; }
  // CompuServe 3.x only: a full pass before conversion. True when done.
  virtual bool firstPass(ImportContext& /*ctx*/) { return true; }
  // Converts up to one slice of messages; true when the file is finished.
  virtual bool convert(ImportContext& ctx) = 0;
};

// The parser of a format's group; nullptr for formats whose parser is not
// built into this program.
std::unique_ptr<Parser> makeParser(const FormatInfo& f);

// Content detection of the line formats over the whole (rewound) line file:
// KindNoDb for no message file, else KindForumDb or KindMailDb. `importKind` is the
// kind the settings take the file for (ImportSettings::cisFileKind).
int detectLineFormat(const std::string& format, File& lines, int importKind);

}  // namespace qv
