// An import context over in-memory state, for testing parsers without an
// import run: settings, a target list filled by hand, the records the parser
// emits, and counters.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/parser.h"

namespace qvtest {

class FakeImportContext : public qv::ImportContext {
 public:
  FakeImportContext();
  ~FakeImportContext() override;

  // --- set-up ---------------------------------------------------------------
  // The format by its name in the format table (must exist).
  void setFormat(const std::string& name);
  // Opens `path` as the source through the line file, read-only.
  bool openLines(const std::string& path);
  // Opens `path` as the source through the raw block file, read-only.
  bool openBlocks(const std::string& path);
  void closeSource();

  // Adds a database of a kind (DbKind) to the target list and returns it;
  // its ID comes from nextNumber().
  qv::Target& addTarget(const std::string& name, int kind);
  // Makes a mailbox the mail target and its owner the one of the owner
  // address service: a database list holding it is written in `dir` for the
  // service to read. The settings' mailbox is set to it.
  qv::Target& addMailbox(const std::string& dir, const std::string& name, const std::string& mainAddress,
                         const std::vector<std::string>& alternatives = {});
  // Records a (database, number) pair as imported before.
  void markImported(uint32_t database, uint32_t number) { imported.insert({database, number}); }

  // --- ImportContext ----------------------------------------------------------
  const qv::ImportSettings& settings() const override { return settings_; }
  const qv::FormatInfo& format() const override { return *format_; }
  int fileKind() const override { return kindOfFile; }
  const std::string& filePath() const override { return path_; }
  qv::File& source() override { return *source_; }
  int sliceSize() const override { return slice; }
  uint32_t nextNumber() override { return next++; }
  qv::Target* target(const std::string& name, int kind) override;
  qv::Target* existingTarget(const std::string& name, int kind) override;
  qv::Target* mailbox() override;
  bool alreadyImported(uint32_t database, uint32_t msgNumber) override;
  bool creationOnly() const override { return settings_.filter == qv::FilterCreateOnly; }
  qv::OwnerAddresses& owner() override { return owner_; }
  void skip() override {
    ++skipped;
    offered_.reset();
  }
  void skip(const std::string& reason) override {
    skip();
    ++skippedFor[reason];
  }
  bool emit() override;
  void offerOriginal(std::optional<std::string> bytes) override { offered_ = std::move(bytes); }
  bool emitCarbonCopy() override;
  bool emitMessageId(uint32_t number, const std::string& id) override;
  std::string messageIdOf(uint32_t number) override;
  uint32_t numberOfMessageId(const std::string& id) override;
  void progress(int64_t amount) override { progressed += amount; }

  // --- state the tests set and read -----------------------------------------
  qv::ImportSettings settings_;
  int kindOfFile = 0;  // what fileKind() answers
  int slice = 1000;
  uint32_t next = 250000;
  bool failEmit = false;  // emit() reports a write failure
  qv::TargetList targets;
  std::set<std::pair<uint32_t, uint32_t>> imported;

  std::vector<qv::ImpHeaderRec> emitted;
  // The original offered for each emitted record, in the same order; none
  // when none was offered or it was too long.
  std::vector<std::optional<std::string>> originals;
  std::vector<qv::ImpCCRRec> carbonCopies;
  std::vector<std::pair<uint32_t, std::string>> messageIds;
  int skipped = 0;
  std::map<std::string, int> skippedFor;  // of them, those skipped for a reason, by reason
  int64_t progressed = 0;

 private:
  std::optional<std::string> offered_;
  const qv::FormatInfo* format_ = nullptr;
  qv::File* source_ = nullptr;
  std::string path_;
  qv::OwnerAddresses owner_;
};

// Runs a parser over its source the way the run does: start, then convert
// calls until it reports the file finished. Returns the number of convert
// calls; stops after `maxCalls` (a parser that never finishes).
int runParser(qv::Parser& parser, FakeImportContext& ctx, int maxCalls = 100000);

}  // namespace qvtest
