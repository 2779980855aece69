// Pictures of the message browsers for the screenshot program: a forum, a
// newsgroup and a mailbox written record by record, with long subjects and
// names beyond ASCII, each browser in a few of its views.
#pragma once

#include <QApplication>
#include <QMdiSubWindow>
#include <functional>
#include <string>

#include "browse/browse_list.h"
#include "browse/browse_window.h"
#include "browse/hit_scan.h"
#include "browse/message_pane.h"
#include "browse/status_marks.h"
#include "browse_data.h"
#include "events.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "window_registry/window_registry.h"

namespace qvtest {

using Shoot = std::function<void(QWidget*, const QString&)>;

inline void settleBrowse() {
  for (int i = 0; i < 20; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

// Closes the running browser, so that the files it holds open are free for
// the next database's records.
inline void closeBrowsers() {
  for (const QString& name : {QStringLiteral("BrowseMsgNmbr"), QStringLiteral("BrowseMail")})
    if (QWidget* w = qvm::TmWindow(qvm::TmGetId(name))) {
      if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget()))
        sub->close();
      else
        w->close();
      settleBrowse();
    }
}

// Makes the database active through the frame, which opens its browser.
inline qvm::BrowseWindow* browseThroughFrame(QWidget* frame, uint32_t id, int kind) {
  qv::ActivateDatabase(id);
  qvm::postEvent(frame, qvm::EvReevaluate);
  settleBrowse();
  auto* w = qobject_cast<qvm::BrowseWindow*>(qvm::TmWindow(qvm::TmGetId(qvm::browseThreadName(kind))));
  if (w) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget())) sub->showMaximized();
    settleBrowse();
  }
  return w;
}

inline uint32_t screenForum(int kind, const std::string& name) {
  uint32_t id = makeBrowseDatabase(kind, name);
  addSection(100, 1, "General Discussion");
  addSection(200, 7, "Printers & Scanners – Treiber");
  addPerson(10, "Ann", "Lee");
  addPerson(11, "Jean-François", "Müller-Lüdenscheidt");
  addPerson(12, "Åsa", "Öberg");
  addPerson(13, "Zoë", "Quinn-Ångström");
  addPerson(14, "Ólafur", "Sigurðsson");
  addThread(1000, 200, "Printer drivers for the LaserJet 4 under Windows 95", 6);
  addThread(1001, 100, "Modem init strings – Größenänderung", 4);
  addThread(1002, 200, "Zip drive will not mount after the upgrade to 2.0", 3);
  addThread(1003, 100, "Über-fast serial ports?", 3);
  const uint32_t threads[] = {1000, 1001, 1000, 1002, 1003, 1000, 1001, 1002, 1000, 1003, 1001, 1000, 1002, 1003,
                              1000, 1001};
  int32_t day = qv::dateFromYMD(1996, 3, 1);
  for (uint32_t i = 0; i < 16; ++i) {
    uint32_t number = 48100 + i * 3;
    std::string body = "Hello all,\r\n\r\nthe printer driver from the library works with the LaserJet 4 once the "
                       "spooler is switched off. Grüße aus Köln – Jürgen’s tip helped.\r\n\r\n";
    for (int k = 0; k < 8; ++k) body += "A longer paragraph about drivers, ports and printers follows here. ";
    body += "\r\n";
    addMessage(number, threads[i], 10 + i % 5, 10 + (i + 2) % 5, day + int32_t(i), body, 0, i > 2 ? number - 6 : 0);
  }
  addWord(7, "PRINTER", {48100, 48106, 48115});
  return id;
}

inline uint32_t screenMailbox() {
  uint32_t id = makeBrowseDatabase(qv::KindMailDb, "Owen Owner – Privat");
  uint32_t owner = qv::Mem.PersonID;
  addPerson(21, "Françoise", "Dubois-Lefèvre");
  addPerson(22, "Søren", "Kierkegaard Jørgensen");
  addPerson(23, "Hal", "Doe");
  const char* subjects[] = {"Hello again – long time no see, how is the family in Århus?",
                            "Re: Meeting on Thursday at the Café Größenwahn",
                            "Invoice 2001-0457 for the LaserJet toner cartridges",
                            "Holiday photos from Crète",
                            "Re: Re: Re: The never ending thread about our garden fence",
                            "Quick question",
                            "Tickets für das Konzert"};
  int32_t day = qv::dateFromYMD(2001, 5, 1);
  for (uint32_t i = 0; i < 14; ++i) {
    std::string body = "Dear friend,\r\n\r\nthank you for your letter. Smørrebrød and Kaffee next week?\r\n\r\nBest,\r\nOwen\r\n";
    addMail(700 + i, owner, 21 + i % 3, i % 2 == 1, day + int32_t(i), int32_t(3600000 + i * 170000), subjects[i % 7],
            body);
  }
  return id;
}

inline void shootBrowsers(QWidget* frame, const Shoot& shoot) {
  // Forum: the number view with status colours, a limited thread, the section view, a find hit.
  closeBrowsers();
  uint32_t forum = screenForum(1, "Hardware Forum – Drucker & Treiber");
  qvm::BrowseWindow* w = browseThroughFrame(frame, forum, 1);
  if (w) {
    w->showMessage(48109);
    w->markStatus(qv::LevelThread, 2);
    w->showMessage(48118);
    w->markStatus(qv::LevelMessage, 1);
    w->showMessage(48112);
    shoot(w, QStringLiteral("30-browse-forum-number"));
    w->setMode(qv::FmThread);
    w->setLimit(true);
    shoot(w, QStringLiteral("31-browse-forum-thread"));
    w->setMode(qv::FmSection);
    shoot(w, QStringLiteral("32-browse-forum-section"));
    w->setMode(qv::FmSender);
    w->setLimit(true);
    w->toggleBookmark();
    shoot(w, QStringLiteral("33-browse-forum-sender-bookmark"));
    w->toggleBookmark();
    w->setMode(qv::FmNumber);
    qv::findSettings() = {"printer", false, false};
    qv::BrowseState ctx = w->state();
    ctx.selected = 48106;
    qv::writeBrowseContext(ctx);
    qvm::postEvent(w, qvm::EvFindTextHit);
    settleBrowse();
    w->pane()->nextHit();
    shoot(w, QStringLiteral("34-browse-forum-find-hit"));
    w->takeSearchHits({48100, 48106, 48115}, {{"PRINTER"}, {}});
    shoot(w, QStringLiteral("35-browse-forum-search-result"));
  }
  closeBrowsers();
  uint32_t news = screenForum(3, "comp.periphs.printers.ünïcode");
  if ((w = browseThroughFrame(frame, news, 3))) {
    w->setMode(qv::FmDate);
    shoot(w, QStringLiteral("36-browse-newsgroup-date"));
  }
  closeBrowsers();
  uint32_t mail = screenMailbox();
  if ((w = browseThroughFrame(frame, mail, 2))) {
    w->setMode(qv::MmDate);
    w->showMessage(705);
    shoot(w, QStringLiteral("37-browse-mail-date"));
    w->setMode(qv::MmPartner);
    w->setLimit(true);
    shoot(w, QStringLiteral("38-browse-mail-partner"));
  }
}

}  // namespace qvtest
