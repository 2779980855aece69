// The help window: the program's help topics as HTML pages, with a list of
// topics and a full-text search.
#pragma once

#include <QString>
#include <QStringList>

class QPushButton;
class QWidget;

namespace qvm {

// Opens the help window at a topic ("~What_is_Quorvane_", "Contents" ...).
// A topic without a page shows the contents page.
void showHelp(const QString& topic);
// Opens the help window with the search field focused.
void showHelpSearch();

// A "Help" button that opens a topic.
QPushButton* helpButton(QWidget* parent, const QString& topic);
// The help topic of a window: its "helpTopic" property, else its help
// button's topic ("" when it has neither).
QString windowHelpTopic(const QWidget* window);

// The title of the page the help window shows ("" when it is closed).
QString shownHelpTitle();

// The resource path of a topic's page ("" when it has none).
QString helpPage(const QString& topic);
// Every topic that has a page.
QStringList helpTopics();

}  // namespace qvm
