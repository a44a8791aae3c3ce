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

PendingListFaults& faults() {
  static PendingListFaults f;
  return f;
}

// The copy names a list holds: any other line (a path, a template's name, the tail of an older text
// a rewrite left) is no copy of ours. False when the list cannot be read whole.
bool readNames(int fd, QStringList* names) {
  QByteArray text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = faults().read ? faults().read(fd, buffer, sizeof buffer) : ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    text.append(buffer, n);
  }
  for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n')))
    if (IsCopyName(line.trimmed()) && !names->contains(line.trimmed())) *names << line.trimmed();
  return true;
}

bool writeAll(int fd, const QByteArray& out) {
  for (qsizetype done = 0; done < out.size();) {
    const char* from = out.constData() + done;
    const size_t size = size_t(out.size() - done);
    const ssize_t n = faults().write ? faults().write(fd, from, size, done) : ::pwrite(fd, from, size, done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

// Earlier versions kept the list beside template/, in the program folder: read once into the list,
// then unlinked. Anything but a plain file there is never read through.
QString oldListPath() { return gAppDir + QStringLiteral("template.pending"); }
QStringList readOldList() {
  KeptFileState state;
  const int fd = OpenKeptFile(oldListPath(), KeptFileOpen::ReadWriteElseRead, 0, &state);
  if (fd < 0) return {};
  QStringList names;
  readNames(fd, &names);
  ::close(fd);
  return names;
}

QString listBusy() { return QStringLiteral("附件清单正被其他程序使用，请稍后重试。"); }

// The list, read and rewritten under its flock; `change` edits the names in between. "" when done,
// else why not, with the system's text in `*details`; nothing is written then.
template <typename Change>
QString changeList(Change change, QString* details = nullptr) {
  const QString path = PendingCopiesPath();
  const QString shown = QDir::toNativeSeparators(path);
  const auto failed = [&](const QString& sentence) {
    if (details) *details = shown + QStringLiteral("：") + systemReason();
    return sentence;
  };
  KeptFileState state;
  const int fd = OpenSharedFileLocked(path, &state);
  if (fd < 0 && state == KeptFileState::NotRegular) return NotRegularFileMessage(QStringLiteral("附件清单"), path);
  if (fd < 0 && state == KeptFileState::Opened && errno == EWOULDBLOCK) return listBusy();
  if (fd < 0 && state == KeptFileState::Inaccessible)
    return failed(QStringLiteral("附件清单“%1”不能被当前系统账户打开，请让管理员把它的权限改为所有人可读写。").arg(shown));
  if (fd < 0) return failed(QStringLiteral("无法写入附件清单“%1”。").arg(shown));
  QStringList names;
  if (!readNames(fd, &names)) {
    const QString failure = failed(QStringLiteral("无法读取附件清单“%1”。").arg(shown));
    ::close(fd);
    return failure;
  }
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
    // The new text first, cut to its length after: a program killed in between leaves every name of
    // the new list, perhaps followed by the tail of the old text (read as any line is).
    const QByteArray out = names.isEmpty() ? QByteArray() : names.join(QLatin1Char('\n')).toUtf8() + '\n';
    if (!writeAll(fd, out) || ::ftruncate(fd, out.size()) != 0 || ::fdatasync(fd) != 0)
      failure = failed(QStringLiteral("无法写入附件清单“%1”。").arg(shown));
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

QString NotePendingCopy(const QString& name, QString* details) {
  return changeList(
      [&name](QStringList& names) {
        if (!names.contains(name)) names << name;
      },
      details);
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

QString RemoveListedCopies(QString* details) {
  if (!NameTaken(PendingCopiesPath()) && !NameTaken(oldListPath())) return {};
  // Read before the list is touched: a failing read leaves the list for the next start.
  const QStringList stored = allStoredPaths();
  const QString failure = changeList(
      [&](QStringList& names) {
        for (const QString& name : names)
          if (!namedIn(stored, name)) RemoveName(AttachmentFolder() + name);
        names.clear();
      },
      details);
  // A list another program holds is left to a later start: the start goes on.
  return failure == listBusy() ? QString() : failure;
}

void SetPendingListFaults(PendingListFaults f) { faults() = std::move(f); }

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
