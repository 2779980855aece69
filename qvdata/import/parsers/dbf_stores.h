// The readers that keep their messages in dBASE/FoxPro tables: CISCOMM
// (a forum-message table and a mail table), NavCIS 1.6x and 1.7x ("RECV.DBF",
// "HRECV.DBF") and OUI ("MESSAGE.DBF"). Each record of such a table becomes
// one temporary import record.
//
// A record reaches the conversions as a DbfRow: its column texts as the table
// holds them (numbers and dates as their digits, memos as their text), so that
// the conversions do not depend on how the table was read.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "import/parser.h"
#include "import/parsers/news_article.h"

namespace qv::dbfstore {

// The tables' layouts (DbfRow column names) per store.
enum class Store {
  CisCommForum,
  CisCommMail,
  NavCis,
  Oui,
};

struct DbfRow {
  std::map<std::string, std::string, std::less<>> columns;
  // The text of a column; empty when the row has no such column.
  std::string_view operator[](std::string_view name) const {
    auto it = columns.find(name);
    return it == columns.end() ? std::string_view() : std::string_view(it->second);
  }
};

// A value as the NavCIS tables keep it: without a trailing CR LF.
std::string_view withoutCrLf(std::string_view value);
// An address beginning with "INTERNET:" (any case) loses those nine
// characters unless what follows is a CompuServe number.
std::string withoutInternetPrefix(std::string_view address);
// A NavCIS time (MSG_TIME): CR LF and leading blanks removed, a "0" put in
// front of a one-digit hour; five characters are hours:minutes, eight
// hours:minutes:seconds; anything else (or no valid time) gives 0.
int32_t navCisTime(std::string_view text);
// A NavCIS date (MSG_DATE): day in characters 1 and 2, month name in 4 to 6,
// year in 8 and 9; 0 when it is no date.
int32_t navCisDate(std::string_view text);
// A date column ('D', "YYYYMMDD"); 0 when blank or no date.
int32_t tableDate(std::string_view text);
// A numeric column's whole value; 0 when blank or not a number.
int64_t tableNumber(std::string_view text);
// The NavCIS status byte: 1 kept, 2 deleted, else 0.
uint8_t navCisStatus(std::string_view keep, std::string_view isDelete);

// Converts one record of a store into the temporary record (or counts it as
// skipped). False only when a record could not be written.
bool convertCisComm(ImportContext& ctx, const DbfRow& row, bool mailTable);
bool convertNavCis(ImportContext& ctx, const DbfRow& row);
// OUI keeps Internet messages: the header lines in MSG_EXTRA, the body in
// MSG_BODY. A header that names newsgroups makes an article (written by the
// store's article writer, which numbers and threads them), any other a mail.
// A record whose header has no lines is skipped.
bool convertOui(ImportContext& ctx, const DbfRow& row, news::ArticleWriter& articles);
// The lines of an OUI header text: split at CR LF, or at LF when it has no
// CR; empty lines before it are passed over, and the first one after it ends it.
std::vector<std::string> ouiHeaderLines(std::string_view header);

// The message shown when a store's table is skipped at its fifth unreadable
// record, after `percent` of its records were read.
std::string badRecordsMessage(Store store, int percent);

}  // namespace qv::dbfstore
