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

}  // namespace qvm
