// The export layouts of the user settings: the originals offered for mail
// and for newsgroup articles, stored as the export reads them.
#include <QComboBox>
#include <QtTest>

#include "export/export_headers.h"
#include "originals/originals_export.h"
#include "services/db_kind.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "setup/user_panel.h"
#include "support/gui_fixture.h"

using namespace qvtest;

class ExportLayoutTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void theOriginalsAreAnExportLayoutOfMailAndNews() {
    TestInstallation inst;
    inst.open();
    auto* panel = new qvm::UserPanel;
    QVERIFY(panel->mailLayout()->findData(qv::kLayoutOriginals) >= 0);
    panel->mailLayout()->setCurrentIndex(panel->mailLayout()->findData(qv::kLayoutOriginals));
    panel->newsLayout()->setCurrentIndex(panel->newsLayout()->findData(qv::kLayoutOriginals));
    QVERIFY(panel->save());
    QCOMPARE(qv::exportLayout(qv::KindMailDb), qv::kLayoutOriginals);
    QCOMPARE(qv::exportLayout(qv::KindNewsDb), qv::kLayoutOriginals);
    panel->close();
    // The article layout again: the item is as it was before.
    auto* again = new qvm::UserPanel;
    QCOMPARE(again->newsLayout()->currentData().toInt(), qv::kLayoutOriginals);
    again->newsLayout()->setCurrentIndex(0);
    QVERIFY(again->save());
    QCOMPARE(qv::KonfigGet(qv::ItemExportLayoutNews), 0);
    again->close();
  }
};

QTEST_MAIN(ExportLayoutTest)
#include "export_layout_test.moc"
