// GP_SECTION: the sections of the current forum database by number, with
// their message counts and a status menu.
#include "browse/item_status.h"
#include "dictionary/dictionary.h"
#include "frame/window_host.h"
#include "lookup/lookup_list.h"

namespace qvm {

namespace {

LookupRow sectionRow() {
  LookupRow r;
  r.id = qv::SEC.SECSYSID;
  r.texts = {cutText(sectionText(qv::SEC.SECTIONNUMBER, QString::fromStdString(qv::SEC.DESCRIPTION.str())), 35),
             QString::number(qv::SEC.MSGCOUNT)};
  r.status = qv::SEC.DUMMY;
  return r;
}

}  // namespace

QString sectionText(int number, const QString& name) {
  return QStringLiteral("%1 %2").arg(number, 2, 10, QLatin1Char('0')).arg(name.trimmed());
}

LookupDef sectionLookup() {
  LookupDef s;
  s.title = QStringLiteral(" Sections [");
  s.columns = {QStringLiteral("Section"), QStringLiteral("Messages")};
  s.widths = {260, 80};
  s.numberColumns = {1};
  s.slot = SlotGpSection;
  s.listSlot = ListGpSection;
  s.files = {6};
  s.file = &qv::Sections;
  s.key = [](int) { return qv::SEC_SectionKey; };
  s.row = sectionRow;
  // A start text begins with the section number ("04 Utilities").
  s.seekText = [](int, const QString& text) {
    QString digits;
    for (QChar c : text.trimmed()) {
      if (!c.isDigit()) break;
      digits += c;
    }
    bool ok = false;
    int n = digits.left(3).toInt(&ok);
    if (!ok || n > 255) return 0;
    qv::SEC.SECTIONNUMBER = uint8_t(n);
    return 1;
  };
  s.readId = [](uint32_t id) {
    qv::SEC.SECSYSID = id;
    return qv::Sections.get(qv::SEC_SysIdKey);
  };
  s.statusWord = QStringLiteral("Section");
  s.setStatus = [](uint32_t id, int code) { return qv::setSectionStatus(id, qv::statusOfCode(code)); };
  return s;
}

void pickSection(QWidget* parent, const QString& startText, PickDone done) {
  openLookupList(parent, sectionLookup(), startText, 0, std::move(done));
}

}  // namespace qvm
