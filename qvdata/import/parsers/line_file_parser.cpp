#include "import/parsers/line_file_parser.h"

#include <algorithm>

namespace qv::cis {

bool LineFileParser::start(ImportContext&) {
  reader_.reset();
  splitter_.reset();
  begun_ = false;
  active_ = false;
  failed_ = false;
  return true;
}

bool LineFileParser::convert(ImportContext& ctx) {
  if (!begun_) {
    begun_ = true;
    reader_ = std::make_unique<LineReader>(ctx.source());
    reader_->rewind();
    active_ = begin(ctx);
  }
  if (!active_ || failed_) return true;
  reader_->onFileLine([&ctx] { ctx.progress(1); });
  auto read = [this](std::string& line) { return reader_->next(line); };
  auto starts = [this](std::string& line, std::vector<std::string>& more) { return startsMessage(line, more); };
  int slice = std::max(1, ctx.sliceSize());
  for (int i = 0; i < slice; ++i) {
    if (!splitter_.collect(msg_, read, starts)) return true;
    // A temporary record that cannot be written ends the file.
    if (!convertMessage(ctx)) {
      failed_ = true;
      return true;
    }
  }
  return reader_->atEnd() && !splitter_.holdsNext();
}

}  // namespace qv::cis
