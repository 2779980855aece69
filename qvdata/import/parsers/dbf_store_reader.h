// Reading a reader's DBF table for the import: record by record in physical
// order, each record converted by its store's conversion (dbf_stores.h).
//
// The readers leave deleted records in their tables until the user packs
// them, and such records may no longer read (their memos were given up). A
// record that cannot be read is passed over; at the fifth the table is
// skipped, with the reader's own message unless a scheduled task runs. The
// messages converted before stay in the temporary file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "import/parser.h"
#include "import/parsers/dbf_stores.h"
#include "import/parsers/news_article.h"

namespace qv::dbfstore {

inline constexpr int kBadRecordLimit = 5;

// A store's table as the reader sees it.
class RecordSource {
 public:
  enum class Read { Record, End, Error };
  virtual ~RecordSource() = default;
  // Records in the table, deleted ones included.
  virtual int64_t recordCount() = 0;
  // Reads the next live record after the position (deleted records are
  // passed over) into `row` and makes it the position.
  virtual Read next(DbfRow& row) = 0;
  // The number of the record last read or passed over; 0 before the first.
  virtual int64_t position() = 0;
  // After an error: moves the position one record on.
  virtual void passBad() = 0;
};

// Opens the table of a store at a path; nullptr when it cannot be opened
// (error then says why).
using RecordSourceOpener =
    std::function<std::unique_ptr<RecordSource>(Store store, const std::string& path, std::string& error)>;
// Opens a store's table through its declaration and the DBF driver (a
// program that has not registered the driver gets the keyed-file layer's
// "driver not available").
std::unique_ptr<RecordSource> openStoreTable(Store store, const std::string& path, std::string& error);
// The opener the import uses for DBF tables: openStoreTable unless another
// is set (tests read tables of their own).
void setRecordSourceOpener(RecordSourceOpener opener);
const RecordSourceOpener& recordSourceOpener();

// Converts one table's records.
class StoreReader {
 public:
  StoreReader(Store store, std::unique_ptr<RecordSource> source);
  // Converts up to `records` records. True when the table is finished: its
  // last record converted, or skipped at its fifth bad record. `failed` is set
  // when a temporary record could not be written (the run ends).
  bool convert(ImportContext& ctx, int records, bool& failed);
  int badRecords() const { return bad_; }
  bool skippedTable() const { return skipped_; }

 private:
  bool convertRow(ImportContext& ctx, const DbfRow& row);

  Store store_;
  std::unique_ptr<RecordSource> source_;
  int bad_ = 0;  // reset for every table
  bool skipped_ = false;
  std::optional<news::ArticleWriter> articles_;
};

// The store a format reads: CISCOMM (the mail table when the import takes
// mail, else the forum table), NavCIS 1.6x and 1.7x-, OUI.
Store storeOf(const FormatInfo& format, const ImportSettings& settings);

// The parser of the DBF formats: opens the table with the registered opener
// in start() and converts up to the run's slice of records per call.
std::unique_ptr<Parser> makeDbfStoreParser();

}  // namespace qv::dbfstore
