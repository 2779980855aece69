// Records and helpers for the browser window tests: a small forum, newsgroup
// or mail database written record by record, so that a test knows what each
// view holds, and the browser's rows as a test reads them.
#pragma once

#include <QColor>
#include <string>
#include <vector>

#include "browse/browse_list.h"
#include "browse/browse_kinds.h"
#include "browse/browse_window.h"
#include "services/db_kind.h"
#include "support/browse_records.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

namespace qvtest {

// The running browser of the kind (qv::DbKind), opened
// when none runs, at a size that shows several rows.
inline qvm::BrowseWindow* openBrowser(int kind, int width) {
  if (kind == qv::KindMailDb)
    qvm::openBrowseMail();
  else
    qvm::openBrowseMsgNmbr();
  QString name = qvm::browseThreadName(kind);
  auto* w = qobject_cast<qvm::BrowseWindow*>(qvm::TmWindow(qvm::TmGetId(name)));
  if (w) w->resize(width, 560);
  settle();
  return w;
}

// The message numbers of the rows on screen, top to bottom.
inline std::vector<uint32_t> rowIds(qvm::BrowseWindow* w) {
  std::vector<uint32_t> ids;
  for (int r = 0; r < w->list()->page()->rowCount(); ++r) ids.push_back(w->list()->page()->idAt(r));
  return ids;
}

inline QColor rowColour(qvm::BrowseWindow* w, uint32_t id) {
  qvm::BrowsePage* p = w->list()->page();
  return p->data(p->index(p->rowOf(id), 0), Qt::ForegroundRole).value<QColor>();
}

// Three threads in two sections, four people, six messages:
//   500 thread 1000 Ann -> Bob        503 thread 1002 Ann -> Cid (section 200)
//   501 thread 1000 Bob -> Ann        504 thread 1000 Ann -> Dee
//   502 thread 1001 Cid -> Ann        505 thread 1001 Dee -> Bob
inline uint32_t sampleForum(int kind = qv::KindForumDb, const std::string& name = "Browse Forum") {
  uint32_t id = makeBrowseDatabase(kind, name);
  addSection(100, 1, "General");
  addSection(200, 4, "Utilities");
  addPerson(10, "Ann", "Lee", 3, 2);
  addPerson(11, "Bob", "Ray", 1, 2);
  addPerson(12, "Cid", "Zed", 1, 1);
  addPerson(13, "Dee", "Adams", 1, 1);
  addThread(1000, 100, "Pears and apples", 3);
  addThread(1001, 100, "Bananas", 2);
  addThread(1002, 200, "Cherries", 1);
  addMessage(500, 1000, 10, 11, 100, "I like apples.\r\nRed apples most.\r\n");
  addMessage(501, 1000, 11, 10, 102, "Pears are better.\r\n", 0, 500);
  addMessage(502, 1001, 12, 10, 101, "Bananas!\r\n");
  addMessage(503, 1002, 10, 12, 105, "Cherries are red.\r\n");
  addMessage(504, 1000, 10, 13, 103, "Apples again.\r\n", 1, 501);
  addMessage(505, 1001, 13, 11, 104, "More bananas.\r\n", 0, 502);
  return id;
}

}  // namespace qvtest
