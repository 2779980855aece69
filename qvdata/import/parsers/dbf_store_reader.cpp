#include "import/parsers/dbf_store_reader.h"

#include <utility>

#include "services/prompt.h"

namespace qv::dbfstore {

namespace {

RecordSourceOpener& opener() {
  static RecordSourceOpener o = openStoreTable;
  return o;
}

class DbfStoreParser : public Parser {
 public:
  bool start(ImportContext& ctx) override {
    reader_.reset();
    Store store = storeOf(ctx.format(), ctx.settings());
    std::string error;
    std::unique_ptr<RecordSource> source = opener() ? opener()(store, ctx.filePath(), error) : nullptr;
    if (!source) {
      Message(ctx.filePath() + " cannot be opened\r\n" + error + "\r\n" + "This file will be skipped!", "Warning!",
              Icon::Exclamation);
      return false;
    }
    ctx.progressByRecords(source->recordCount());
    reader_.emplace(store, std::move(source));
    return true;
  }

  bool convert(ImportContext& ctx) override {
    if (!reader_) return true;
    bool failed = false;
    bool done = reader_->convert(ctx, ctx.runSliceSize(), failed);
    return done || failed;
  }

 private:
  std::optional<StoreReader> reader_;
};

}  // namespace

void setRecordSourceOpener(RecordSourceOpener o) { opener() = o ? std::move(o) : RecordSourceOpener(openStoreTable); }
const RecordSourceOpener& recordSourceOpener() { return opener(); }

StoreReader::StoreReader(Store store, std::unique_ptr<RecordSource> source)
    : store_(store), source_(std::move(source)) {}

bool StoreReader::convertRow(ImportContext& ctx, const DbfRow& row) {
  switch (store_) {
    case Store::CisCommForum: return convertCisComm(ctx, row, false);
    case Store::CisCommMail: return convertCisComm(ctx, row, true);
    case Store::NavCis: return convertNavCis(ctx, row);
    case Store::Oui:
      if (!articles_) articles_.emplace(ctx);
      return convertOui(ctx, row, *articles_);
  }
  return true;
}

bool StoreReader::convert(ImportContext& ctx, int records, bool& failed) {
  failed = false;
  if (skipped_) return true;
  const int64_t count = source_->recordCount();
  DbfRow row;
  for (int i = 0; i < records; ++i) {
    int64_t before = source_->position();
    RecordSource::Read r = source_->next(row);
    if (r == RecordSource::Read::End) {
      // deleted records at the table's end were passed over
      if (before < count) ctx.progress(count - before);
      return true;
    }
    if (r == RecordSource::Read::Record) {
      ctx.progress(source_->position() - before);
      if (!convertRow(ctx, row)) {
        failed = true;
        return true;
      }
      if (source_->position() >= count) return true;
      continue;
    }
    // An unreadable record: a table that reports errors past its last record
    // is at its end.
    if (before >= count) return true;
    source_->passBad();
    ctx.progress(source_->position() - before);
    if (++bad_ < kBadRecordLimit) continue;
    skipped_ = true;
    int percent = count > 0 ? int(source_->position() * 100 / count) : 0;
    Message(badRecordsMessage(store_, percent), "Warning!", Icon::Exclamation);
    return true;
  }
  return source_->position() >= count;
}

Store storeOf(const FormatInfo& format, const ImportSettings& settings) {
  if (format.group == ParserGroup::NavCisDbf) return Store::NavCis;
  if (format.group == ParserGroup::Oui) return Store::Oui;
  return settings.cisFileKind() == KindMailDb ? Store::CisCommMail : Store::CisCommForum;
}

std::unique_ptr<Parser> makeDbfStoreParser() { return std::make_unique<DbfStoreParser>(); }

}  // namespace qv::dbfstore
