#include "report_painter.h"

#include <QFontDatabase>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

namespace qvprint {

namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

}  // namespace

struct ReportPainter::Impl {
  explicit Impl(QPagedPaintDevice& d) : device(d) {}

  QPagedPaintDevice& device;
  QPainter painter;
  QFont titleFont, headerFont, textFont, footFont;
  qreal width = 0, height = 0, footHeight = 0;
  qreal y = 0;
  int page = 1;
  bool painting = false;

  void foot() {
    painter.setFont(footFont);
    painter.drawText(QRectF(0, height - footHeight, width, footHeight), Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("Page %1").arg(page));
  }
  void newPage() {
    foot();
    device.newPage();
    ++page;
    y = 0;
  }
  qreal bottom() const { return height - footHeight * 1.5; }

  // Paints a paragraph, broken into lines of the page's width.
  void paragraph(const QString& text, const QFont& font) {
    QTextLayout layout(text, font, &device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) line.setLineWidth(width);
    layout.endLayout();
    if (layout.lineCount() == 0) {  // an empty line still takes its height
      QFontMetricsF fm(font, &device);
      if (y + fm.height() > bottom()) newPage();
      y += fm.height();
      return;
    }
    for (int i = 0; i < layout.lineCount(); ++i) {
      QTextLine line = layout.lineAt(i);
      if (y + line.height() > bottom()) newPage();
      line.draw(&painter, QPointF(0, y - line.y()));
      y += line.height();
    }
  }
};

ReportPainter::ReportPainter(QPagedPaintDevice& device) : impl_(std::make_unique<Impl>(device)) {}

ReportPainter::~ReportPainter() { end(); }

bool ReportPainter::begin(const std::string& title) {
  Impl& r = *impl_;
  if (!r.painter.begin(&r.device)) return false;
  r.painting = true;
  r.width = r.device.width();
  r.height = r.device.height();
  r.textFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  r.textFont.setPointSizeF(9.5);
  r.headerFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  r.headerFont.setPointSizeF(9.5);
  r.headerFont.setBold(true);
  r.titleFont = r.headerFont;
  r.titleFont.setPointSizeF(14);
  r.footFont = r.headerFont;
  r.footFont.setBold(false);
  r.footFont.setPointSizeF(8);
  r.footHeight = QFontMetricsF(r.footFont, &r.device).height();
  r.painter.setPen(Qt::black);
  r.paragraph(qs(title), r.titleFont);
  r.y += QFontMetricsF(r.textFont, &r.device).height();
  return true;
}

void ReportPainter::add(const qv::PrintBlock& block) {
  Impl& r = *impl_;
  if (!r.painting) return;
  qreal gap = QFontMetricsF(r.textFont, &r.device).height();
  // A header block is not left alone at the foot of a page.
  if (r.y + gap * (qreal(block.header.size()) + 3) > r.bottom()) r.newPage();
  r.painter.drawLine(QPointF(0, r.y + gap / 2), QPointF(r.width, r.y + gap / 2));
  r.y += gap;
  for (const std::string& h : block.header) r.paragraph(qs(h), r.headerFont);
  r.y += gap / 2;
  for (const std::string& l : block.lines) r.paragraph(qs(l), r.textFont);
  r.y += gap;
}

void ReportPainter::end() {
  Impl& r = *impl_;
  if (!r.painting) return;
  r.foot();
  r.painter.end();
  r.painting = false;
}

int ReportPainter::pages() const { return impl_->page; }

ReportJob::ReportJob(qv::PrintRun& run, QPagedPaintDevice& device) : run_(run), painter_(device) {}

void ReportJob::paint() {
  for (const qv::PrintBlock& b : run_.takeBlocks()) painter_.add(b);
}

bool ReportJob::step() {
  if (result_ != qv::PrintRunning) return false;
  bool more = run_.step();
  if (!begun_ && (!run_.view().title.empty() || (!more && run_.result() == qv::PrintDone))) {
    if (!painter_.begin(run_.view().title)) {
      run_.cancel();
      result_ = qv::PrintFailed;
      return false;
    }
    begun_ = true;
  }
  paint();
  if (more) return true;
  result_ = run_.result();
  if (result_ == qv::PrintDone) painter_.end();
  return false;
}

int paintReport(qv::PrintRun& run, QPagedPaintDevice& device,
                const std::function<void(const qv::PrintView&)>& progress) {
  run.onProgress(progress);
  ReportJob job(run, device);
  while (job.step()) {
  }
  return job.result();
}

}  // namespace qvprint
