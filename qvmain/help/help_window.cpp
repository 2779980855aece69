#include "help/help_window.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWidget>

#include "events.h"
#include "frame/icons.h"
#include "frame/window_host.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

const QString kHelpThread = QStringLiteral("Help");

QString fileName(const QString& topic) {
  QString t = topic.trimmed();
  if (t.startsWith(QLatin1Char('~'))) t.remove(0, 1);
  return t;
}

QString readPage(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(f.readAll());
}

QString pageTitle(const QString& html) {
  static const QRegularExpression re(QStringLiteral("<title>(.*)</title>"),
                                     QRegularExpression::CaseInsensitiveOption);
  auto m = re.match(html);
  return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

QString plainText(const QString& html) {
  QString s = html;
  static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
  s.remove(tags);
  return s;
}

class HelpWindow : public QWidget {
 public:
  HelpWindow() {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Quorvane Help"));
    setWindowIcon(systemIcon(QStringLiteral("HELP")));
    search_ = new QLineEdit(this);
    search_->setPlaceholderText(QStringLiteral("Search for help on..."));
    search_->setClearButtonEnabled(true);
    list_ = new QListWidget(this);
    browser_ = new QTextBrowser(this);
    browser_->setSearchPaths({QStringLiteral(":/help")});
    browser_->setOpenExternalLinks(false);
    auto* left = new QWidget(this);
    auto* lv = new QVBoxLayout(left);
    lv->setContentsMargins(0, 0, 0, 0);
    lv->addWidget(new QLabel(QStringLiteral("Topics:"), left));
    lv->addWidget(search_);
    lv->addWidget(list_);
    auto* split = new QSplitter(this);
    split->addWidget(left);
    split->addWidget(browser_);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 560});
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(split);

    for (const QString& t : helpTopics()) {
      QString html = readPage(helpPage(t));
      auto* item = new QListWidgetItem(pageTitle(html).isEmpty() ? t : pageTitle(html), list_);
      item->setData(Qt::UserRole, t);
      item->setData(Qt::UserRole + 1, plainText(html));
    }
    list_->sortItems();
    connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* i) { open(i->data(Qt::UserRole).toString()); });
    connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* i) { open(i->data(Qt::UserRole).toString()); });
    connect(search_, &QLineEdit::textChanged, this, &HelpWindow::filter);
    TmCreate(this, kHelpThread);
  }

  void open(const QString& topic) {
    QString page = helpPage(topic);
    if (page.isEmpty()) page = helpPage(QStringLiteral("Contents"));
    browser_->setSource(QUrl(QStringLiteral("qrc") + page));
    for (int i = 0; i < list_->count(); ++i)
      if (QStringLiteral(":/help/") + list_->item(i)->data(Qt::UserRole).toString() + QStringLiteral(".html") == page)
        list_->setCurrentRow(i);
  }

  void focusSearch() { search_->setFocus(); }
  QTextBrowser* browser() const { return browser_; }

 private:
  void filter(const QString& text) {
    for (int i = 0; i < list_->count(); ++i) {
      QListWidgetItem* it = list_->item(i);
      bool match = text.isEmpty() || it->text().contains(text, Qt::CaseInsensitive) ||
                   it->data(Qt::UserRole + 1).toString().contains(text, Qt::CaseInsensitive);
      it->setHidden(!match);
    }
  }

  QLineEdit* search_;
  QListWidget* list_;
  QTextBrowser* browser_;
};

HelpWindow* helpWindow() {
  if (auto* w = dynamic_cast<HelpWindow*>(TmWindow(TmGetId(kHelpThread)))) {
    activateWindow(w);
    return w;
  }
  auto* w = new HelpWindow;
  w->resize(820, 560);
  w->show();
  return w;
}

}  // namespace

QString helpPage(const QString& topic) {
  QString path = QStringLiteral(":/help/%1.html").arg(fileName(topic));
  return QFile::exists(path) ? path : QString();
}

QStringList helpTopics() {
  QStringList out;
  for (const QString& f : QDir(QStringLiteral(":/help")).entryList({QStringLiteral("*.html")}, QDir::Files))
    out << f.chopped(5);
  return out;
}

QPushButton* helpButton(QWidget* parent, const QString& topic) {
  auto* b = new QPushButton(QStringLiteral("&Help"), parent);
  b->setAutoDefault(false);
  b->setToolTip(QStringLiteral("Help on this window"));
  b->setProperty("helpTopic", topic);
  QObject::connect(b, &QPushButton::clicked, parent, [topic] { showHelp(topic); });
  return b;
}

QString windowHelpTopic(const QWidget* window) {
  if (!window) return QString();
  QString topic = window->property("helpTopic").toString();
  if (!topic.isEmpty()) return topic;
  for (const QPushButton* b : window->findChildren<QPushButton*>()) {
    topic = b->property("helpTopic").toString();
    if (!topic.isEmpty()) return topic;
  }
  return QString();
}

void showHelp(const QString& topic) { helpWindow()->open(topic); }

QString shownHelpTitle() {
  auto* w = dynamic_cast<HelpWindow*>(TmWindow(TmGetId(kHelpThread)));
  return w ? w->browser()->documentTitle() : QString();
}

void showHelpSearch() {
  HelpWindow* w = helpWindow();
  w->open(QStringLiteral("Contents"));
  w->focusSearch();
}

}  // namespace qvm
