// The counters of a run's window (import, indexing): captions with sunken,
// right-aligned numbers beside them, two to a row.
#pragma once

#include <QGridLayout>
#include <QLabel>
#include <QList>
#include <QStringList>
#include <QWidget>

namespace qvm {

// A grid of one caption and one number (starting at "0") per name, two
// pairs to a row; the number labels are appended to `counters` in order.
QGridLayout* counterGrid(QWidget* owner, const QStringList& names, QList<QLabel*>& counters);

// What a finished run did, as one line for the frame's status bar: the
// window's title, the counters of a counterGrid with their captions, and the
// time taken ("OzCIS Import Processing: Messages imported: 2, ... in 3 s").
QString counterSummary(const QWidget* window, const QList<QLabel*>& counters, long long seconds);

}  // namespace qvm
