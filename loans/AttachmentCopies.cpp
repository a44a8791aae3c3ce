#include "loans/AttachmentCopies.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "loans/LoanStore.h"
#include "platform/FileLock.h"
#include "platform/SafeFiles.h"

namespace LoanStore {

namespace {
QString systemReason() { return QString::fromLocal8Bit(std::strerror(errno)); }

// The copy names a list holds: any other line (a path, a template's name) is no copy of ours.
QStringList readNames(int fd) {
  QByteArray text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, n);
  }
  QStringList names;
  for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n')))
    if (IsCopyName(line.trimmed()) && !names.contains(line.trimmed())) names << line.trimmed();
  return names;
}

// Earlier versions kept the list beside template/, in the program folder: read once into the list,
// then unlinked. Anything but a plain file there is never read through.
QString oldListPath() { return gAppDir + QStringLiteral("template.pending"); }
QStringList readOldList() {
  KeptFileState state;
  const int fd = OpenKeptFile(oldListPath(), KeptFileOpen::ReadWriteElseRead, 0, &state);
  if (fd < 0) return {};
  const QStringList names = readNames(fd);
  ::close(fd);
  return names;
}

// The list, read and rewritten under its flock; `change` edits the names in between.
template <typename Change>
QString changeList(Change change) {
  const QString path = PendingCopiesPath();
  KeptFileState state;
  const int fd = OpenSharedFileLocked(path, &state);
  if (fd < 0 && state == KeptFileState::NotRegular) return NotRegularFileMessage(QStringLiteral("附件清单"), path);
  if (fd < 0) return QStringLiteral("无法写入附件清单“%1”：%2").arg(QDir::toNativeSeparators(path), systemReason());
  QStringList names = readNames(fd);
  const bool oldList = NameTaken(oldListPath());
  const qsizetype listed = names.size();
  if (oldList)
    for (const QString& name : readOldList())
      if (!names.contains(name)) names << name;
  const bool merged = names.size() != listed;
  const QStringList before = names;
  change(names);
  QString failure;
  if (merged || names != before) {
    const QByteArray out = names.isEmpty() ? QByteArray() : names.join(QLatin1Char('\n')).toUtf8() + '\n';
    if (::lseek(fd, 0, SEEK_SET) != 0 || ::ftruncate(fd, 0) != 0 ||
        (!out.isEmpty() && ::write(fd, out.constData(), static_cast<size_t>(out.size())) != out.size()) || ::fdatasync(fd) != 0)
      failure = QStringLiteral("无法写入附件清单“%1”：%2").arg(QDir::toNativeSeparators(path), systemReason());
  }
  if (oldList && failure.isEmpty()) RemoveName(oldListPath());
  ::close(fd);
  return failure;
}

QStringList allStoredPaths() {
  QStringList paths;
  for (const QVariantList& row : Db().query(QStringLiteral("select 路径 from PJ_DkFj")).rows) paths << VariantText(row.value(0));
  return paths;
}

bool namedIn(const QStringList& paths, const QString& name) {
  for (const QString& p : paths)
    if (p.endsWith(name)) return true;
  return false;
}

// The attachment-folder file `path` stands for when it is a copy there; "" for anything else.
QString copyInFolder(const QString& path) {
  const QString name = StripPath(path);
  if (!IsCopyName(name)) return {};
  const QFileInfo file(QDir::fromNativeSeparators(path));
  if (QDir::cleanPath(file.absolutePath()) != QDir::cleanPath(QFileInfo(AttachmentFolder()).absoluteFilePath())) return {};
  return AttachmentFolder() + name;
}
}  // namespace

QString PendingCopiesPath() { return gAppDir + QStringLiteral("template/.pending"); }

bool IsCopyName(const QString& name) {
  static const QRegularExpression pattern(QStringLiteral("^\\d{14}(_\\d+)?(\\.[^./\\\\]+)?$"));
  return pattern.match(name).hasMatch();
}

QString NotePendingCopy(const QString& name) {
  return changeList([&name](QStringList& names) {
    if (!names.contains(name)) names << name;
  });
}

void ForgetPendingCopies(const QStringList& gone) {
  if (gone.isEmpty()) return;
  // A name left on the list only means a later start looks at a file a row names, and keeps it.
  changeList([&gone](QStringList& names) {
    for (const QString& n : gone) names.removeAll(n);
  });
}

QStringList PendingCopies() {
  QStringList listed;
  if (!NameTaken(PendingCopiesPath()) && !NameTaken(oldListPath())) return listed;
  changeList([&listed](QStringList& names) { listed = names; });
  return listed;
}

bool NamedByAnyRow(const QString& name) { return namedIn(allStoredPaths(), name); }

QString RemoveListedCopies() {
  if (!NameTaken(PendingCopiesPath()) && !NameTaken(oldListPath())) return {};
  // Read before the list is touched: a failing read leaves the list for the next start.
  const QStringList stored = allStoredPaths();
  return changeList([&](QStringList& names) {
    for (const QString& name : names)
      if (!namedIn(stored, name)) RemoveName(AttachmentFolder() + name);
    names.clear();
  });
}

void SettleSavedAttachments(const QList<Attachment>& saved, const QStringList& dropped) {
  QStringList recorded;
  for (const Attachment& a : saved)
    if (!a.id) recorded << StripPath(a.path);
  ForgetPendingCopies(recorded);
  if (dropped.isEmpty()) return;
  // The save has committed: a failing read here keeps the files and must not undo the success.
  QStringList stored;
  try {
    stored = allStoredPaths();
  } catch (const AppError&) {
    return;
  }
  for (const QString& path : dropped) {
    const QString file = copyInFolder(path);
    if (!file.isEmpty() && !namedIn(stored, StripPath(path))) RemoveName(file);
  }
}

}  // namespace LoanStore
