// Lays out and paints a printed report on a paged device (a printer or a
// PDF writer): the title at the top of the first page, then every message's
// header block in bold and its text, lines too long for the page broken at
// word boundaries, and the page number at the foot of each page.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "export/print_msg.h"

class QPagedPaintDevice;

namespace qvprint {

class ReportPainter {
 public:
  explicit ReportPainter(QPagedPaintDevice& device);
  ~ReportPainter();
  ReportPainter(const ReportPainter&) = delete;
  ReportPainter& operator=(const ReportPainter&) = delete;

  // Starts painting; false when the device cannot be painted on.
  bool begin(const std::string& title);
  void add(const qv::PrintBlock& block);
  // Finishes the last page.
  void end();
  int pages() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Paints the report of a print engine on a device slice by slice, as the
// engine makes it: a window drives step() from its timer, paintReport runs it
// to its end. The device is begun with the report's title once the engine
// has it, and ended when the run ends.
class ReportJob {
 public:
  ReportJob(qv::PrintRun& run, QPagedPaintDevice& device);
  // Runs one slice of the engine and paints its blocks. Returns false once
  // the run has ended (completed, cancelled or failed).
  bool step();
  // qv::PrintDone when the report is complete; qv::PrintFailed when the
  // device cannot be painted on; else the engine's result.
  int result() const { return result_; }
  // True once the device was begun (something was painted on it).
  bool begun() const { return begun_; }

 private:
  void paint();

  qv::PrintRun& run_;
  ReportPainter painter_;
  bool begun_ = false;
  int result_ = qv::PrintRunning;
};

// Runs a print engine to its end and paints its report on the device.
// Returns the engine's result (qv::PrintDone when the report is complete);
// qv::PrintFailed when the device cannot be painted on.
int paintReport(qv::PrintRun& run, QPagedPaintDevice& device,
                const std::function<void(const qv::PrintView&)>& progress = {});

}  // namespace qvprint
