// The help page against the program it ships with: every menu item, key and settings key
// the page names is one the program has, and every one the program has is on the page.
// The page is read from the source tree; the program is the real main window and the
// real settings code.

#include <QtTest>
#include <QtWidgets>

#include "settings/ini_file.h"
#include "settings/settings.h"
#include "gui_test.h"
#include "window_harness.h"

namespace chwr::gui {
namespace {

QString Page() {
  QFile f(CHWR_HELP_PAGE);
  if (!f.open(QIODevice::ReadOnly)) qFatal("cannot read %s", CHWR_HELP_PAGE);
  return QString::fromUtf8(f.readAll());
}

// What a reader sees of an HTML fragment: no tags, the page's entities decoded, runs of
// white space as one blank.
QString Plain(QString html) {
  html.remove(QRegularExpression("<[^>]*>"));
  html.replace("&emsp;", " ").replace("&nbsp;", " ");
  html.replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
  return html.simplified();
}

struct Table {
  QString heading;  // the h3 above the table, as plain text
  QString body;
};

// Every table of class `kind`, with the last h3 before it.
QList<Table> Tables(const QString& page, const QString& kind) {
  QList<Table> tables;
  const QRegularExpression table("<table class=\"" + kind + "\">(.*?)</table>",
                                 QRegularExpression::DotMatchesEverythingOption);
  const QRegularExpression heading("<h3[^>]*>(.*?)</h3>");
  for (auto m = table.globalMatch(page); m.hasNext();) {
    const auto found = m.next();
    const QString before = page.left(found.capturedStart());
    const qsizetype at = before.lastIndexOf(heading);
    const QString h = at < 0 ? QString() : heading.match(before, at).captured(1);
    tables.append({Plain(h), found.captured(1)});
  }
  if (tables.isEmpty()) qFatal("no table of class %s on the page", qPrintable(kind));
  return tables;
}

// The cells of each data row (header rows have none), as HTML.
QList<QStringList> Rows(const QString& table) {
  QList<QStringList> rows;
  const QRegularExpression row("<tr>(.*?)</tr>", QRegularExpression::DotMatchesEverythingOption);
  const QRegularExpression cell("<td[^>]*>(.*?)</td>",
                                QRegularExpression::DotMatchesEverythingOption);
  for (auto r = row.globalMatch(table); r.hasNext();) {
    QStringList cells;
    for (auto c = cell.globalMatch(r.next().captured(1)); c.hasNext();) {
      cells << c.next().captured(1);
    }
    if (!cells.isEmpty()) rows << cells;
  }
  return rows;
}

// A caption as the page writes it: the access key's "&" dropped.
QString Caption(const QAction* action) {
  return action->text().remove('&');
}

// Every menu and item of the window's menu bar as "menu/submenu/item". The recent-files
// menu's items are the files themselves, not commands.
void WalkMenu(const QMenu* menu, const QString& path, QStringList& paths,
              QMap<QString, QString>& keys) {
  for (const QAction* a : menu->actions()) {
    if (a->isSeparator()) continue;
    const QString here = path + "/" + Caption(a);
    paths << here;
    for (const QKeySequence& k : a->shortcuts())
      keys[k.toString(QKeySequence::PortableText)] = Caption(a);
    if (a->menu() && a->menu()->objectName() != "mnuRECENT") WalkMenu(a->menu(), here, paths, keys);
  }
}

// Both ways: what one side has and the other lacks, for one readable failure.
QString Differences(QStringList page, QStringList program) {
  QStringList onlyPage, onlyProgram;
  for (const QString& p : page)
    if (!program.contains(p)) onlyPage << p;
  for (const QString& p : program)
    if (!page.contains(p)) onlyProgram << p;
  if (onlyPage.isEmpty() && onlyProgram.isEmpty()) return {};
  return "only on the page: [" + onlyPage.join(", ") + "]; only in the program: [" +
         onlyProgram.join(", ") + "]";
}

// The menus the page lists, each as "menu/submenu/item"; a submenu's items follow it,
// indented one em space deeper.
QStringList PageMenus(const QString& page) {
  QStringList paths;
  for (const Table& t : Tables(page, "menu-table")) {
    paths << t.heading;
    QStringList open;
    for (const QStringList& cells : Rows(t.body)) {
      const int depth = cells[0].count("&emsp;");
      QString name = Plain(cells[0]);
      name.remove("▸");
      name = name.trimmed();
      open.resize(depth);
      open << name;
      paths << t.heading + "/" + open.join("/");
    }
  }
  return paths;
}

// Section and key of every settings line in `iniText`.
QStringList KeysOf(const std::string& iniText) {
  QStringList keys;
  QString section;
  for (const QString& line : QString::fromStdString(iniText).split("\r\n")) {
    if (line.startsWith('[')) {
      section = line;
    } else if (line.contains('=')) {
      keys << section + " " + line.left(line.indexOf('='));
    }
  }
  return keys;
}

// `iniText` without the line of `key` ("[Section] Key").
std::string Without(const std::string& iniText, const QString& key) {
  QStringList kept;
  QString section;
  for (const QString& line : QString::fromStdString(iniText).split("\r\n")) {
    if (line.startsWith('[')) section = line;
    if (line.contains('=') && section + " " + line.left(line.indexOf('=')) == key) continue;
    kept << line;
  }
  return kept.join("\r\n").toStdString();
}

}  // namespace

class HelpPageTest : public QObject {
  Q_OBJECT

 private slots:
  void menusAndKeysOnThePageAreTheWindows();
  void settingsKeysOnThePageAreTheKeysThatAreKept();
};

// Every menu item and menu key on the page is the window's, and the other way round.
void HelpPageTest::menusAndKeysOnThePageAreTheWindows() {
  Harness h;
  QStringList program;
  QMap<QString, QString> menuKeys;  // key -> the caption of its item
  for (const QAction* top : h.window->menuBar()->actions()) {
    program << Caption(top);
    WalkMenu(top->menu(), Caption(top), program, menuKeys);
  }
  const QString menuDifferences = Differences(PageMenus(Page()), program);
  QVERIFY2(menuDifferences.isEmpty(), qPrintable(menuDifferences));

  // The keys of the page's key table, each with what its row says it does.
  QStringList pageKeys;
  for (const QStringList& cells : Rows(Tables(Page(), "key-table").front().body)) {
    for (const QString& key : Plain(cells[0]).split(QRegularExpression("\\s*/\\s*|\\s+"))) {
      pageKeys << key;
      // A menu's key names its item.
      if (menuKeys.contains(key)) QCOMPARE(Plain(cells[1]), menuKeys[key]);
    }
  }
  // The part boxes' own keys, which the editing tests see act.
  const QStringList boxKeys = {"Ctrl+U", "Ctrl+D", "Ctrl+Z", "Ctrl+Y", "F1", "F2", "F3", "F4"};
  // The page names every key of the menus and of the part boxes, and no other.
  const QString differences = Differences(pageKeys, menuKeys.keys() + boxKeys);
  QVERIFY2(differences.isEmpty(), qPrintable(differences));
}

void HelpPageTest::settingsKeysOnThePageAreTheKeysThatAreKept() {
  // The page's keys as "[Section] Key"; "File1～File8" stands for eight keys.
  QStringList page;
  QString section;
  for (const QStringList& cells : Rows(Tables(Page(), "settings-table").front().body)) {
    QString key = Plain(cells[0]);
    if (key.startsWith('[')) {
      section = key;
      key = Plain(cells[1]);
    }
    const auto range = QRegularExpression("^(\\D+)(\\d+)～\\1(\\d+)$").match(key);
    if (!range.hasMatch()) {
      page << section + " " + key;
      continue;
    }
    for (int i = range.captured(2).toInt(); i <= range.captured(3).toInt(); ++i) {
      page << section + " " + range.captured(1) + QString::number(i);
    }
  }

  // Every setting away from its default, so that each key is written and its loss shows.
  Settings all;
  all.fontName = "Font";
  all.fontSize = "9";
  all.fontBold = true;
  all.fontItalic = true;
  all.fontStrikeout = true;
  all.fontUnderline = true;
  all.scoreOptions.tone = "3";
  all.importOptions = {.takeTone = 0, .takeOctave = 1, .volumeSource = 2, .measures = 5, .loop = 1};
  all.repeatOn = true;
  all.octaveChoice = 2;
  all.view = {.check = false, .colors = false, .drift = false, .playing = false};
  all.folder = "/songs";
  all.soundFont = "/fonts/gm.sf2";
  all.window = WindowPlace{10, 20, 300, 400, true};
  for (int i = 0; i < 8; ++i) all.recentFiles.push_back("/songs/" + std::to_string(i) + ".txt");
  IniFile ini;
  WriteSettings(ini, all);
  WriteTransferSettings(ini, "/bin/link", "/phone.mdd");
  // The maker's pages are only read, never written: they are added as a user would.
  ini.Set("Links", "Support", "https://example.org/support");
  ini.Set("Links", "IMode", "https://example.org/imode");
  const std::string text = ini.Serialize();
  const Settings read = ReadSettings(IniFile::Parse(text));

  // Everything kept is on the page, and the page names nothing else.
  const QString differences = Differences(page, KeysOf(text));
  QVERIFY2(differences.isEmpty(), qPrintable(differences));
  // And each of those keys is really read: without it, the settings are not the same.
  for (const QString& key : page) {
    QVERIFY2(!(ReadSettings(IniFile::Parse(Without(text, key))) == read),
             qPrintable(key + " is not read"));
  }
}

CHWR_GUI_TEST(HelpPageTest)

}  // namespace chwr::gui
#include "help_page_test.moc"
