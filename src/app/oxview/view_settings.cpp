#include "app/oxview/view_settings.h"

#include <QFileInfo>
#include <QSettings>

namespace orvex::view {
namespace {

QSettings Store() { return QSettings("Orvex", "oxview"); }

QString Absolute(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

// The key of a table's layout: its path with the separators QSettings
// reads as groups taken out.
QString LayoutKey(const QString& path) {
  QString key = Absolute(path);
  key.replace('/', '|').replace('\\', '|');
  return "columns/" + key;
}

}  // namespace

QStringList ViewSettings::RecentFiles() { return Store().value("recent").toStringList(); }

void ViewSettings::AddRecentFile(const QString& path) {
  QSettings store = Store();
  QStringList recent = store.value("recent").toStringList();
  const QString absolute = Absolute(path);
  recent.removeAll(absolute);
  recent.prepend(absolute);
  while (recent.size() > kMaxRecent) recent.removeLast();
  store.setValue("recent", recent);
}

ColumnLayout ViewSettings::Columns(const QString& path) {
  ColumnLayout layout;
  // Each entry is "NAME:WIDTH".
  for (const QString& entry : Store().value(LayoutKey(path)).toStringList()) {
    const qsizetype colon = entry.lastIndexOf(':');
    bool ok = false;
    const int width = colon > 0 ? entry.mid(colon + 1).toInt(&ok) : 0;
    if (ok && width > 0) layout.push_back({entry.left(colon).toStdString(), width});
  }
  return layout;
}

void ViewSettings::SetColumns(const QString& path, const ColumnLayout& layout) {
  QStringList entries;
  for (const ColumnSetting& column : layout)
    entries << QString::fromStdString(column.field) + ':' + QString::number(column.width);
  Store().setValue(LayoutKey(path), entries);
}

}  // namespace orvex::view
