// The frame of the parsers of line files whose messages follow one another:
// each convert call reads and converts one slice of messages and reports
// every line read as progress.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "import/parser.h"
#include "import/parsers/line_reader.h"

namespace qv::cis {

class LineFileParser : public Parser {
 public:
  bool start(ImportContext& ctx) override;
  bool convert(ImportContext& ctx) override;

 protected:
  // Called once, when the file has been rewound, before the first message is
  // read. False when the file holds nothing to convert.
  virtual bool begin(ImportContext& /*ctx*/) { return true; }
  // True when `line` begins a message; lines read after it to tell go into
  // `more` when they belong to the message (MessageSplitter::collect).
  virtual bool startsMessage(std::string& line, std::vector<std::string>& more) = 0;
  // Converts msg_; false when its temporary record could not be written,
  // which ends the file.
  virtual bool convertMessage(ImportContext& ctx) = 0;

  LineReader& reader() { return *reader_; }

  MessageLines msg_;  // the message being converted

 private:
  std::unique_ptr<LineReader> reader_;
  MessageSplitter splitter_;
  bool begun_ = false;
  bool active_ = false;  // begin() found something to convert
  bool failed_ = false;  // a temporary record could not be written
};

}  // namespace qv::cis
