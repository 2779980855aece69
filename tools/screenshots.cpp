// Writes one picture of each window of the program into a folder, over a
// sample installation made in a temporary directory: the frame without and
// with a database, the database and mailbox windows, the start-up wizard,
// the import wizard's pages, the file selection in its three modes, the
// import window, the preferences, the help window, the indexing window, the
// print progress window, the standard search, the word search windows, the
// thread tree and the look-up lists.
//
// Usage: qvmain_screenshots DIR   (scripts/screenshots runs it under Xvfb)
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>
#include <utility>
#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <tuple>

#include "browse_screens.h"
#include "database/about.h"
#include "database/add_forum.h"
#include "database/browse_box.h"
#include "database/change_forum.h"
#include "database/index_control.h"
#include "wordindex/word_index_wizard.h"
#include "wordindex/stop_list_window.h"
#include "wordindex/update_stop_list.h"
#include "wordindex/word_list_window.h"
#include "wordindex/word_table_page.h"
#include "database/database_selection.h"
#include "database/new_db_name.h"
#include "database/set_index.h"
#include "database/startup_wizard.h"
#include "database/topic_codes.h"
#include "database/update_box.h"
#include "events.h"
#include "frame/main_frame.h"
#include "frame/procedures.h"
#include "maintenance/duplicates_window.h"
#include "maintenance/merge_windows.h"
#include "maintenance/purge_window.h"
#include "maintenance/rebuild_windows.h"
#include "persons/address_export_window.h"
#include "frame/procedure_table.h"
#include "frame/procedures.h"
#include "help/help_window.h"
#include "browse/browse_state.h"
#include "browse/thread_tree_window.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/directory_dialog.h"
#include "import/import_it.h"
#include "import/import_wizard.h"
#include "import/import_run.h"
#include "lookup/lookup_list.h"
#include "lookup/lookups.h"
#include "services/topics.h"
#include "topics/browse_topics.h"
#include "topics/classify_window.h"
#include "topics/group_proc.h"
#include "print/copy_progress.h"
#include "print/print_messages.h"
#include "persons/browse_person.h"
#include "persons/person_windows.h"
#include "persons/update_person.h"
#include "search/build_search.h"
#include "search/single_onefld.h"
#include "search/search_word_entry.h"
#include "search/text_find_window.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/startup.h"
#include "services/topics.h"
#include "setup/user_panel.h"
#include "support/browse_records.h"
#include "support/gui_fixture.h"
#include "tasks/browse_batch.h"
#include "tasks/browse_tasks.h"
#include "tasks/definition_edit.h"
#include "tasks/show_log.h"
#include "tasks/start_task.h"
#include "tasks/task_dates.h"
#include "tasks/task_edit.h"
#include "tasks/task_runner.h"
#include "tasks/task_schedule.h"
#include "tasks/update_batch.h"
#include "tasks/update_task.h"
#include "window_registry/window_registry.h"

namespace {

QString outDir;
int shots = 0;

void settleAll() {
  for (int i = 0; i < 20; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

// The window as the user sees it: a window inside the frame with its frame.
QWidget* outer(QWidget* w) {
  if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget())) return sub;
  return w;
}

// `settle` false: the window as it stands now (a run's window between ticks).
void shoot(QWidget* w, const QString& name, bool settle = true) {
  if (settle) settleAll();
  QPixmap p = outer(w)->grab();
  QString file = QStringLiteral("%1/%2.png").arg(outDir, name);
  p.save(file);
  std::printf("%s %dx%d\n", qPrintable(file), p.width(), p.height());
  ++shots;
}

// A window inside the frame shown at its own size with its title bar (the
// frame's window area keeps a maximised browser's state for new windows).
void normalSize(QWidget* w, const QSize& size = QSize()) {
  if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget())) {
    sub->showNormal();
    if (size.isValid())
      sub->resize(size);
    else
      sub->adjustSize();
  }
}

void closeWindow(QWidget* w) {
  outer(w)->close();
  settleAll();
}

QWidget* running(const char* name) { return qvm::TmWindow(qvm::TmGetId(QString::fromLatin1(name))); }

void writeFile(const QString& path, const char* text) {
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(text);
}

// Imports a sample file into the installation.
void importSample(const QString& dir, const char* format, const char* name, bool mail, uint32_t box,
                  const std::string& forum) {
  qv::ImportSettings s;
  s.format = format;
  s.method = qv::SelectFiles;
  s.path = dir.toStdString();
  s.masks = {name};
  s.importMail = mail;
  s.importForum = !mail;
  s.mailbox = box;
  s.forumName = forum;
  qv::ImportRun run(s);
  while (run.step()) {
  }
  run.close();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(outDir);
  QTemporaryDir root, source;
  qvtest::RecordingPrompter prompts;
  qv::setPrompter(&prompts);
  qvm::registerAllWindows();
  std::string error;
  int result = qv::StartupChecks(root.path().toStdString(), error);
  if (result == qv::StartupStop) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  // The frame of a new installation, with the start-up wizard.
  auto* frame = new qvm::MainFrame(result);
  frame->resize(1000, 700);
  frame->show();
  settleAll();
  shoot(frame, QStringLiteral("01-frame-no-database"));
  if (QWidget* w = running("StartUpWizard")) {
    shoot(w, QStringLiteral("02-startup-wizard-1"));
    auto* wiz = static_cast<qvm::StartupWizard*>(w);
    wiz->next();
    shoot(w, QStringLiteral("02-startup-wizard-2"));
    wiz->next();
    shoot(w, QStringLiteral("02-startup-wizard-3"));
    wiz->next();
    shoot(w, QStringLiteral("02-startup-wizard-4"));
    closeWindow(w);
  }

  // A sample installation: a mailbox and a forum with messages, a topic.
  qv::MailboxSpec box;
  box.owner = "Owen Owner";
  box.address = "owen@example.com";
  box.alternatives[0] = "76543,210";
  uint32_t mailbox = qv::AddMailbox(box);
  qv::AddForumDatabase("Windows Forum", 1, 7);
  qv::AddForumDatabase("Unknown:F3", 1, 7);
  writeFile(source.path() + QStringLiteral("/MAIL.MSG"),
            "\r\nDate:  12-Mar-96  14:22\r\nFrom: Friend One 12121,212\r\nSubj: Hello Owen\r\n\r\nHi Owen.\r\n"
            "Date:  13-Mar-96  09:30:15\r\nMgTo: Friend One 12121,212\r\nSubj: Re: Hello Owen\r\n\r\nHi back.\r\n");
  writeFile(source.path() + QStringLiteral("/FORUM.MSG"),
            "#: 500 S4/Utilities\r\n    5-Mar-96  10:11\r\nSb: First post\r\nFm: Ann Lee 11111,222\r\nTo: All\r\n\r\n"
            "Body one.\r\n#: 501 S4/Utilities\r\n    5-Mar-96  10:11\r\nSb: #500-First post\r\nFm: Bob Ray 33333,444\r\n"
            "To: Ann Lee 11111,222\r\n\r\nBody two.\r\n");
  importSample(source.path(), "OzCIS", "MAIL.MSG", true, mailbox, "");
  importSample(source.path(), "OzCIS", "FORUM.MSG", false, 0, "Windows Forum");
  qv::ActivateDatabase(mailbox);
  qv::addTopic({0, "Project Alpha", 0, false, true, 0});
  qv::addTopic({0, "Holidays", 0, false, false, 0});
  qv::KonfigSet(qv::ItemImportCompletion, 2);  // the import window stays open when done
  qvm::postEvent(frame, qvm::EvReevaluate);
  settleAll();
  shoot(frame, QStringLiteral("03-frame-mailbox"));

  qvm::openChangeForum();
  shoot(running("ChangeForum"), QStringLiteral("04-change-database"));
  closeWindow(running("ChangeForum"));
  qvm::openBrowseBox();
  QWidget* boxes = running("BrowseBox");
  shoot(boxes, QStringLiteral("05-mailboxes"));
  auto* form = qvm::openUpdateBox(boxes, 2, mailbox);
  shoot(form, QStringLiteral("06-mailbox-form"));
  for (QPushButton* b : form->findChildren<QPushButton*>())
    if (b->text() == QStringLiteral("Update alternative addresses")) b->click();
  shoot(form, QStringLiteral("06-mailbox-form-addresses"));
  form->reject();
  closeWindow(boxes);

  auto* add = qvm::openAddForum(frame);
  shoot(add, QStringLiteral("07-add-forum"));
  add->reject();
  auto* sel = qvm::openDatabaseSelection(frame, 1, false, {});
  shoot(sel, QStringLiteral("08-forum-selection"));
  sel->reject();
  auto* lup = qvm::openDatabaseSelection(frame, 2, true, {});
  shoot(lup, QStringLiteral("08-mailbox-lookup"));
  lup->reject();
  auto* rename = qvm::openNewDbName(frame, mailbox);
  shoot(rename, QStringLiteral("09-rename-database"));
  rename->reject();
  qvm::openSetIndex();
  shoot(running("SetIndex"), QStringLiteral("10-word-index-status"));
  closeWindow(running("SetIndex"));
  qvm::openAbout();
  shoot(running("About"), QStringLiteral("11-about"));
  closeWindow(running("About"));
  auto* codes = qvm::openGpCodes(frame, 0, {});
  shoot(codes, QStringLiteral("12-topics"));
  codes->reject();
  {
    qvm::UpdateCodes upd(2, qv::listTopics().front(), frame);
    upd.show();
    shoot(&upd, QStringLiteral("13-update-topic"));
    qvm::UpdateCodes del(3, qv::listTopics().front(), frame);
    del.setAttribute(Qt::WA_DeleteOnClose, false);
    del.show();
    shoot(&del, QStringLiteral("13-delete-topic"));
  }

  // The import wizard, page by page, and the file selection.
  frame->choose(1);
  settleAll();
  auto* wizard = static_cast<qvm::ImportMeny*>(running("ImportMeny"));
  const char* pages[] = {"welcome", "file-type", "message-types", "method", "files", "reimport"};
  wizard->setFormat(QStringLiteral("OzCIS"));
  wizard->setSelection(source.path(), {QStringLiteral("MAIL.MSG")});
  for (int i = 0; i < 6; ++i) {
    shoot(wizard, QStringLiteral("14-import-wizard-%1-%2").arg(i + 1).arg(QString::fromLatin1(pages[i])));
    wizard->next();
  }
  const QString modes[] = {QStringLiteral("tree"), QStringLiteral("directory"), QStringLiteral("files")};
  for (int m = 0; m < 3; ++m) {
    auto* d = qvm::openDirectoryDialog(wizard, qvm::DirectoryMode(m), QStringLiteral("OzCIS"), source.path(),
                                       {QStringLiteral("*.MSG"), QStringLiteral("*.PRG")}, {QStringLiteral("MAIL.MSG")}, {});
    shoot(d, QStringLiteral("15-directory-dialog-%1").arg(modes[m]));
    d->reject();
  }
  wizard->forumCheck()->setChecked(false);
  wizard->start();
  QWidget* importing = running("ImportIt");
  shoot(importing, QStringLiteral("16-import-window-starting"));
  auto* run = static_cast<qvm::ImportIt*>(importing);
  for (int i = 0; i < 2000 && run->run().stage() != qv::ImportStage::Finished && !run->run().closed(); ++i) settleAll();
  shoot(importing, QStringLiteral("16-import-window-finished"));
  closeWindow(importing);
  if (QWidget* w = running("ImportMeny")) closeWindow(w);

  // Preferences, tab by tab.
  frame->choose(3);
  settleAll();
  auto* panel = static_cast<qvm::UserPanel*>(running("UserPanel"));
  const char* tabs[] = {"directories", "display", "speed", "export", "tasks"};
  for (int i = 0; i < panel->tabs()->count(); ++i) {
    panel->tabs()->setCurrentIndex(i);
    shoot(panel, QStringLiteral("17-preferences-%1").arg(QString::fromLatin1(tabs[i])));
  }
  closeWindow(panel);

  qvm::showHelp(QStringLiteral("~Import_Wizard"));
  shoot(running("Help"), QStringLiteral("18-help"));
  closeWindow(running("Help"));

  // Build Word Index: its window before the run and while it runs.
  frame->choose(qvm::ProcBuildIndex);
  settleAll();
  if (auto* indexing = static_cast<qvm::IndexControl*>(running("AutoIndex"))) {
    shoot(indexing, QStringLiteral("19-build-word-index"));
    indexing->setTickBudget(0);
    indexing->start();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    if (running("AutoIndex")) shoot(indexing, QStringLiteral("19-build-word-index-running"), false);
    for (int i = 0; i < 200 && running("AutoIndex"); ++i) settleAll();
  }

  // A report printed in the progress window, after its first slice.
  {
    auto printer = std::make_shared<QPrinter>();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(root.path() + QStringLiteral("/report.pdf"));
    qv::PrintRequest whole;
    whole.scope = 6;
    if (qvm::CopyProgress* printing = qvm::printReport(whole, printer)) {
      printing->tick();
      printing->tick();
      shoot(printing, QStringLiteral("20-print-progress"), false);
      closeWindow(printing);
    }
  }

  // The standard search of the mail browser, with its options, and the word search windows.
  qvm::openTextFind(qv::KindMailDb);
  auto* find = static_cast<qvm::TextFindWindow*>(running("MailFind"));
  find->findField()->setText(QStringLiteral("holiday"));
  shoot(find, QStringLiteral("40-standard-search"));
  find->optionsButton()->click();
  shoot(find, QStringLiteral("40-standard-search-options"));
  closeWindow(find);
  qvm::buildSearch(frame, 2, {});
  auto* words = frame->findChild<qvm::BuildSearch*>();
  qvm::PickedWords ands, ors;
  ands.words = {{"HOLIDAY", 1, 14, false}, {"PICTURES", 2, 6, false}, {"INVOICE", 3, 31, true}};
  ors.toAnd = false;
  ors.words = {{"BEACH", 4, 9, false}, {"MOUNTAINS", 5, 4, false}};
  words->addWords(ands);
  words->addWords(ors);
  words->andList()->setCurrentItem(words->andList()->topLevelItem(1));
  shoot(words, QStringLiteral("41-word-search"));
  auto* typedWords = qvm::openSingleUi(words, {});
  typedWords->input()->setText(QStringLiteral("holiday pict*"));
  shoot(typedWords, QStringLiteral("42-search-words"));
  typedWords->reject();
  auto* pick = qvm::openSingleOneFld(words, "PICT*",
                                     {{"PICTURE", 6, 3}, {"PICTURES", 2, 6}, {"PICTURESQUE", 7, 1}, {"PICTS", 8, 1}},
                                     {});
  pick->list()->topLevelItem(1)->setSelected(true);
  shoot(pick, QStringLiteral("43-matching-words"));
  pick->reject();
  words->reject();
  settleAll();

  // The thread tree and the look-up lists, over a forum written record by record
  // (long headings and names with accents).
  {
    uint32_t hw = qv::AddForumDatabase("Hardware Forum", 1, 7);
    qv::selectDatabase(hw);
    const char* people[][3] = {{"Ann", "Lee", "11111.222@compuserve.com"},
                               {"Bob", "Ray", "33333.444@compuserve.com"},
                               {"Åsa", "Öberg", "asa.oberg@example.se"},
                               {"Jean-François", "Müller-Lüdenscheidt", "jf.mueller-luedenscheidt@example.de"},
                               {"Zoë", "Quinn", "zoe@example.org"}};
    for (uint32_t i = 0; i < 5; ++i) {
      qv::PER = qv::PersonRec();
      qv::PER.PERSONID = 900 + i;
      qv::PER.FIRSTNAME = people[i][0];
      qv::PER.LASTNAME = people[i][1];
      qv::PER.ADDRESS = people[i][2];
      qv::PER.PERSONSTRING = std::string(people[i][0]) + " " + people[i][1];
      qv::PER.FROMCOUNT = 3 + i * 7;
      qv::PER.TOCOUNT = 11 - i * 2;
      qvtest::addRecord(qv::FilePerson);
    }
    const char* sections[] = {"General", "Utilities & Tools", "Printers & Scanners", "Modems, Networks and Über-Lån"};
    const int numbers[] = {1, 4, 7, 12};
    for (uint32_t i = 0; i < 4; ++i) {
      qv::SEC = qv::SectionsRec();
      qv::SEC.SECSYSID = 800 + i;
      qv::SEC.SECTIONNUMBER = uint8_t(numbers[i]);
      qv::SEC.DESCRIPTION = sections[i];
      qv::SEC.MSGCOUNT = 120 + i * 37;
      qv::SEC.DUMMY = uint8_t(i == 1 ? 1 : i == 3 ? 2 : 0);
      qvtest::addRecord(qv::FileSections);
    }
    const char* headings[] = {"Printer drivers for the LaserJet 4 under Windows 95", "Modem init strings",
                              "Zip drive will not mount after upgrade", "Antivirus scanners compared",
                              "Über-fast serial ports?"};
    for (uint32_t i = 0; i < 5; ++i) {
      std::string h = headings[i];
      qv::THR = qv::ThreadsRec();
      qv::THR.THREADNUMBER = 7000 + i;
      qv::THR.SECSYSID = 802;
      qv::THR.ALPHA = h.substr(0, 10);
      qv::THR.BETA = h.size() > 10 ? h.substr(10) : std::string();
      qv::THR.MSGCOUNT = i == 0 ? 7 : 1 + i;
      qv::THR.DUMMY = uint8_t(i == 2 ? 2 : i == 3 ? 1 : 0);
      qvtest::addRecord(qv::FileThreads);
    }
    // Thread 7000: 500 <- 501 <- 502 <- 506, 500 <- 503 <- 504, 505 answers a purged message.
    const uint32_t refs[][3] = {{500, 0, 900}, {501, 500, 901}, {502, 501, 902}, {503, 500, 903},
                                {504, 503, 904}, {505, 499, 900}, {506, 502, 901}};
    for (const auto& r : refs) {
      qv::MSG = qv::MsgNmbrRec();
      qv::MSG.MSGNUMBER = r[0];
      qv::MSG.REFNUMBER = r[1];
      qv::MSG.FROMID = r[2];
      qv::MSG.SECSYSID = 802;
      qv::MSG.THREADNUMBER = 7000;
      qv::MSG.THREADALPHA = std::string(headings[0]).substr(0, 10);
      qv::MSG.DATE = qv::dateFromYMD(1996, 3, int(r[0] - 495));
      qvtest::addRecord(qv::FileMsgNmbr);
    }
    const char* indexed[] = {"DRIVER", "DRIVERS", "LASERJET", "MODEM", "MOUNT", "PRINTER", "PRINTERS",
                             "SCANNER", "SERIAL", "UPGRADE", "WINDOWS", "ZIP"};
    for (int32_t i = 0; i < 12; ++i) {
      qvtest::addWordEntry(uint32_t(600 + i), indexed[i], 1 + (i * 13) % 40);
    }
    qv::BrowseState ctx;
    ctx.kind = qv::KindForumDb;
    ctx.selected = 502;
    qv::writeBrowseContext(ctx);
    qv::KonfigSet(qv::ItemThreadTreeFormat, 4);  // sender, number and date
    qvm::openThreadTree();
    shoot(running("ThreadTree"), QStringLiteral("44-thread-tree"));
    closeWindow(running("ThreadTree"));

    // Topics: their list, the check list of message 502 and the group windows.
    std::vector<uint32_t> topics;
    for (const char* text : {"Drivers", "Modems", "Printers", "Upgrades"}) {
      qv::Topic t;
      t.text = text;
      topics.push_back(qv::addTopic(t));
    }
    for (uint32_t m : {501u, 502u}) qv::setTopicLink(topics[2], m, true);
    qv::setTopicLink(topics[0], 502, true);
    qvm::openBrowseTopics();
    shoot(running("BrowseTopics"), QStringLiteral("49-topic-list"));
    closeWindow(running("BrowseTopics"));
    qvm::openClassify();
    shoot(running("Classify"), QStringLiteral("50-attach-topics"));
    closeWindow(running("Classify"));
    for (auto [request, thread, name] : {std::tuple{int(qvm::GroupExport), "ExportProc", "51-group-export"},
                                         std::tuple{int(qvm::GroupPrint), "PrintProc", "51-group-print"},
                                         std::tuple{int(qvm::GroupClassify), "ClassifyProc", "51-group-classify"}}) {
      qvm::openGroupProc(request);
      shoot(running(thread), QString::fromLatin1(name));
      closeWindow(running(thread));
    }

    auto pickerShot = [&](const QString& name) {
      qvm::LookupList* l = nullptr;
      for (qvm::LookupList* c : frame->findChildren<qvm::LookupList*>())
        if (c->isVisible()) l = c;
      if (!l) return;
      shoot(l, name);
      l->reject();
      settleAll();
    };
    qvm::pickThread(frame, QStringLiteral("Printer drivers"), {});
    pickerShot(QStringLiteral("45-lookup-threads"));
    qvm::pickSection(frame, QStringLiteral("07 Printers & Scanners"), {});
    pickerShot(QStringLiteral("46-lookup-sections"));
    qvm::pickPerson(frame, QString(), 903, {});
    pickerShot(QStringLiteral("47-lookup-persons"));
    qvm::pickWord(frame, QStringLiteral("print"), {});
    pickerShot(QStringLiteral("48-lookup-words"));

    // The person windows: the list, the name form, the aliases and the merge window.
    for (const char* alias : {"ANN LEE 76543,210", "ANN LEE ANN.LEE@EXAMPLE.ORG", "A. LEE LEE@OLDISP.EXAMPLE"}) {
      qv::PLI = qv::PLINKRec();
      qv::PLI.PERSONSTRING = alias;
      qv::PLI.PERSONID = 900;
      qvtest::addRecord(qv::FilePLINK);
    }
    qvm::openBrowsePerson();
    auto* personList = qobject_cast<qvm::BrowsePerson*>(running("BrowsePersonMerge"));
    personList->showPerson(900);
    shoot(personList, QStringLiteral("52-person-list"));
    auto* nameForm = qvm::openUpdatePerson(personList, 903);
    shoot(nameForm, QStringLiteral("53-person-name"));
    nameForm->reject();
    settleAll();
    personList->aliasButton()->click();
    shoot(running("ShowAlias"), QStringLiteral("54-person-aliases"));
    closeWindow(running("ShowAlias"));
    for (uint32_t id : {900u, 901u, 904u}) qvm::addPersonToMerge(id);
    shoot(running("MergePersons"), QStringLiteral("55-person-merge"));
    closeWindow(running("MergePersons"));
    closeWindow(personList);
    // The word list with a word marked for removal, in both orders.
    frame->choose(qvm::ProcIndexedWords);
    settleAll();
    if (auto* list = static_cast<qvm::BrowseWordList*>(running("WordList"))) {
      list->showWord(QStringLiteral("printer"));
      list->toggleMark();
      shoot(list, QStringLiteral("56-word-list"));
      list->setOrder(1);
      shoot(list, QStringLiteral("56-word-list-by-count"));
      list->toggleMark();  // the sample keeps its words
      closeWindow(list);
    }
    // The stop list and its form.
    frame->choose(qvm::ProcNonIndexedWords);
    settleAll();
    if (auto* stop = static_cast<qvm::BrowseStopList*>(running("StopList"))) {
      shoot(stop, QStringLiteral("57-stop-list"));
      for (auto [request, name] : {std::pair{int(qvm::StopInsert), "57-stop-list-add"},
                                   std::pair{int(qvm::StopChange), "57-stop-list-change"},
                                   std::pair{int(qvm::StopDelete), "57-stop-list-delete"}}) {
        qvm::UpdateStopList stopForm(request, stop->currentWord(), stop);
        stopForm.setAttribute(Qt::WA_DeleteOnClose, false);
        if (request == qvm::StopInsert) stopForm.wordEdit()->setText(QStringLiteral("HOWEVER"));
        stopForm.show();
        shoot(&stopForm, QString::fromLatin1(name));
        stopForm.hide();
      }
      closeWindow(stop);
    }
    // The word index settings wizard, page by page.
    frame->choose(qvm::ProcSearchWizard);
    settleAll();
    if (auto* wz = static_cast<qvm::SearchWz*>(running("SearchWz"))) {
      const char* wizardPages[] = {"numbers", "footers", "frequent-words", "word-characters", "word-sets", "search-pause"};
      for (int i = 0; i < qvm::SearchWz::PageCount; ++i) {
        wz->setPage(i);
        if (i == qvm::SearchWz::PageTables)
          wz->tablePage()->table()->scrollToItem(wz->tablePage()->table()->item(40, 0), QAbstractItemView::PositionAtTop);
        if (i == qvm::SearchWz::PageSets) {
          wz->setNameEdit()->setText(QStringLiteral("Standard"));
          wz->storeSet();
          wz->setNameEdit()->setText(QStringLiteral("Program listings"));
        }
        shoot(wz, QStringLiteral("58-word-index-wizard-%1-%2").arg(i + 1).arg(QString::fromLatin1(wizardPages[i])));
      }
      closeWindow(wz);
    }
    // Build Word Index of an indexed database, with its recommendation.
    frame->choose(qvm::ProcBuildIndex);
    settleAll();
    if (auto* indexing = static_cast<qvm::IndexControl*>(running("AutoIndex"))) {
      shoot(indexing, QStringLiteral("19-build-word-index-indexed"));
      closeWindow(indexing);
    }
    // The address-book window of the forum: before and after a run.
    qvm::startProcedure(QStringLiteral("AddressExport"));
    if (auto* book = qobject_cast<qvm::AddressExportWindow*>(running("AddressExport"))) {
      shoot(book, QStringLiteral("59-address-export"));
      book->start();
      while (book->running()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      shoot(book, QStringLiteral("59-address-export-finished"));
      closeWindow(book);
    }
  }

  // The message browsers of a forum, a newsgroup and a mailbox.
  qvtest::shootBrowsers(frame, [](QWidget* w, const QString& name) { shoot(w, name); });

  // The count and purge windows of the active database: before the start,
  // running (between two ticks) and finished (the window kept open).
  qv::KonfigSet(qv::ItemImportCompletion, 2);
  for (int mode : {qv::PurgeCounting, qv::PurgePurging}) {
    QString what = mode == qv::PurgePurging ? QStringLiteral("purge") : QStringLiteral("count");
    qv::GlobalRequest = mode == qv::PurgePurging ? 1 : 0;
    const char* thread = qv::Mem.ForumType == qv::KindMailDb ? "PurgeMail" : "PurgeMess";
    qvm::startProcedure(QString::fromLatin1(thread));
    auto* w = qobject_cast<qvm::PurgeWindow*>(running(thread));
    if (!w) continue;
    shoot(w, QStringLiteral("49-%1-window").arg(what));
    w->start();
    shoot(w, QStringLiteral("49-%1-window-running").arg(what), false);
    while (w->running()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    shoot(w, QStringLiteral("49-%1-window-finished").arg(what));
    closeWindow(w);
  }

  // Merge Databases: the two names chosen, then the merge run to its end.
  qvm::startProcedure(QStringLiteral("MergeMeny"));
  if (auto* meny = qobject_cast<qvm::MergeMeny*>(running("MergeMeny"))) {
    meny->setSource(QStringLiteral("Hardware Forum"));
    meny->setTarget(QStringLiteral("Windows Forum"));
    shoot(meny, QStringLiteral("60-merge-databases"));
    meny->merge();
    if (auto* it = qobject_cast<qvm::MergeIt*>(running("MergeIt"))) {
      for (int i = 0; i < 2000 && !it->run().finished(); ++i) settleAll();
      shoot(it, QStringLiteral("61-merge-finished"));
      closeWindow(it);
    }
    closeWindow(meny);
  }

  // The Rebuild Utility, and the rebuild's log when it has run.
  qvm::startProcedure(QStringLiteral("RebuildMeny"));
  if (auto* meny = qobject_cast<qvm::RebuildMeny*>(running("RebuildMeny"))) {
    shoot(meny, QStringLiteral("62-rebuild-utility"));
    meny->begin(qv::RequestRebuild);
    if (auto* it = qobject_cast<qvm::RebuildIt*>(running("RebuildIt"))) {
      for (int i = 0; i < 2000 && it->running(); ++i) settleAll();
      it->resize(760, 560);
      shoot(it, QStringLiteral("63-rebuild-log"));
      closeWindow(it);
    }
    if (running("RebuildMeny")) closeWindow(running("RebuildMeny"));
  }

  // The duplicate elimination window of the active database: before the
  // start and finished (the window kept open).
  {
    const char* thread = qv::Mem.ForumType == qv::KindMailDb ? "DupMail" : "Duplicates";
    qvm::startProcedure(QString::fromLatin1(thread));
    if (auto* w = qobject_cast<qvm::DuplicatesWindow*>(running(thread))) {
      shoot(w, QStringLiteral("51-duplicates-window"));
      w->start();
      while (w->running()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      shoot(w, QStringLiteral("51-duplicates-window-finished"));
      closeWindow(w);
    }
  }

  // Scheduled tasks: the definition list and form, the task list and form,
  // the start dialog during its count-down, and the log of a run.
  {
    qv::ImportSettings s;
    s.format = "OzCIS";
    s.method = qv::SelectFiles;
    s.path = source.path().toStdString();
    s.masks = {"MAIL.MSG", "FORUM.MSG"};
    s.importMail = true;
    s.importForum = true;
    s.mailbox = mailbox;
    s.forumName = "Windows Forum";
    uint32_t def = qv::AddImportDefinition("OzCIS captures", s);
    qv::ImportSettings d = s;
    d.method = qv::SelectDirectory;
    d.masks = {"*.MSG"};
    qv::AddImportDefinition("Forum directory", d);
    qv::TaskEdit t;
    t.task.DESCRIPTION = "Nightly import";
    t.task.ACTIVE = 1;
    t.task.DAYS = {0, 1, 1, 1, 1, 1, 0};
    t.task.RUNNEXTTIME = qv::timeFromHMS(3, 0, 0);
    t.task.DODUPELIM = t.task.DOPURGE = 1;
    t.definitions = {def};
    uint32_t task = qv::AddTask(t);
    qvm::startProcedure(QStringLiteral("BrowseBatch"));
    if (QWidget* w = running("BrowseBatch")) {
      normalSize(w, QSize(760, 300));
      shoot(w, QStringLiteral("70-import-definitions"));
      qv::ImportDefinition read;
      qv::ReadImportDefinition(def, read);
      auto* definitionForm = new qvm::UpdateBatch(qvm::BatchFormUpdate, read, w);
      definitionForm->show();
      shoot(definitionForm, QStringLiteral("71-import-definition-form"));
      delete definitionForm;
      closeWindow(w);
    }
    qvm::startProcedure(QStringLiteral("BrowseTasks"));
    if (QWidget* w = running("BrowseTasks")) {
      normalSize(w, QSize(800, 300));
      shoot(w, QStringLiteral("72-scheduled-tasks"));
      qv::TaskEdit read;
      qv::ReadTask(task, read);
      auto* taskForm = new qvm::UpdateTask(qvm::TaskFormUpdate, read, w);
      taskForm->show();
      shoot(taskForm, QStringLiteral("73-task-form"));
      delete taskForm;
      closeWindow(w);
    }
    qv::TaskClock due{qv::today(), qv::timeFromHMS(23, 59, 0)};
    qv::TaskEdit read;
    qv::ReadTask(task, read);
    read.task.RUNNEXTDATE = qv::today();
    qv::UpdateTask(read);
    if (qv::TaskMonitor(due)) {
      qvm::openStartTask();
      if (auto* w = qobject_cast<qvm::StartTask*>(running("StartTask"))) {
        for (int i = 0; i < 17; ++i) w->tick();
        normalSize(w);
        shoot(w, QStringLiteral("74-start-task-count-down"));
        w->cancel();
        settleAll();
      }
    }
    qv::TaskDriver driver;
    driver.clock = [due] { return due; };
    qv::runTask(task, driver);
    qvm::startProcedure(QStringLiteral("ShowLog"));
    if (QWidget* w = running("ShowLog")) {
      normalSize(w, QSize(640, 360));
      shoot(w, QStringLiteral("75-task-log"));
      closeWindow(w);
    }
  }

  std::printf("%d pictures\n", shots);
  frame->requestExit();
  settleAll();
  delete frame;
  qv::closeInstallation();
  return 0;
}
