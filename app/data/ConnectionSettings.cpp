#include "app/data/ConnectionSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

QString gSqlIp;
QString gDbInstance;
QString gDbPort;
QString gSqlName;
QString gSqlUser;
QString gSqlPass;
qint16 gDatabaseType = 0;
qint16 gMachineId = 0;
QString gDbPassword;
QString gAppDir;

void SetAppDir(const QString& dir) {
  QString d = QDir::fromNativeSeparators(dir.trimmed());
  if (d.isEmpty()) return;
  if (!d.endsWith(QLatin1Char('/'))) d += QLatin1Char('/');
  if (d != gAppDir) {
    gAppDir = d;
    // The folders the program writes into, made when missing.
    QDir root(gAppDir);
    for (const char* sub : {"data", "template", "报表", "合同", "Databackup"}) root.mkpath(QString::fromUtf8(sub));
  }
}

QString LocalDatabasePath() { return gAppDir + QStringLiteral("data/data.pbb"); }

namespace {
std::mutex gResolvedMutex;
std::map<QString, DatabaseFile>& resolvedFiles() {
  static std::map<QString, DatabaseFile> files;
  return files;
}

DatabaseFile resolve(const QString& name) {
  DatabaseFile f{name, name, DatabaseFile::None, {}};
  QString at = QFileInfo(name).absoluteFilePath();
  // The kernel gives up after 40 links as well: a loop ends nowhere.
  for (int hop = 0;; ++hop) {
    struct stat link {};
    if (::lstat(QFile::encodeName(at).constData(), &link) != 0 || !S_ISLNK(link.st_mode)) break;
    f.link = DatabaseFile::Followed;
    const QString folder = QFileInfo(at).absolutePath();
    struct stat holder {};
    if (link.st_uid != 0 && (::stat(QFile::encodeName(folder).constData(), &holder) != 0 || holder.st_uid != link.st_uid)) {
      f.link = DatabaseFile::Foreign;
      f.real = name;
      f.refusal = QStringLiteral("数据库文件是其他系统账户建立的链接，为安全起见没有使用，请让管理员检查：") + QDir::toNativeSeparators(QDir::cleanPath(at));
      return f;
    }
    if (hop == 40) break;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(QFile::encodeName(at).constData(), target, sizeof target - 1);
    if (n < 0) break;
    target[n] = 0;
    at = QDir(folder).absoluteFilePath(QFile::decodeName(target));
  }
  if (f.link == DatabaseFile::None) return f;
  char real[PATH_MAX];
  if (::realpath(QFile::encodeName(name).constData(), real)) {
    f.real = QFile::decodeName(real);
  } else {
    f.link = DatabaseFile::Dangling;
    f.refusal = QStringLiteral("数据库文件“%1”是指向不存在文件的链接。").arg(QDir::toNativeSeparators(name));
  }
  return f;
}
}  // namespace

DatabaseFile ResolvedDatabaseFile(const QString& name) {
  std::lock_guard<std::mutex> guard(gResolvedMutex);
  auto it = resolvedFiles().find(name);
  // A name that was no link when first asked for and is one now is resolved now: its link is never
  // taken on trust. A chain that ended nowhere is looked at again: the file may be back.
  struct stat st {};
  const bool nowALink = ::lstat(QFile::encodeName(name).constData(), &st) == 0 && S_ISLNK(st.st_mode);
  if (it == resolvedFiles().end() || (it->second.link == DatabaseFile::None && nowALink) || it->second.link == DatabaseFile::Dangling)
    it = resolvedFiles().insert_or_assign(name, resolve(name)).first;
  return it->second;
}

QString ResolveLocalDatabase() {
  const QString name = LocalDatabasePath();
  {
    std::lock_guard<std::mutex> guard(gResolvedMutex);
    resolvedFiles().erase(name);
  }
  const DatabaseFile f = ResolvedDatabaseFile(name);
  return f.link == DatabaseFile::Foreign ? f.refusal : QString();
}

QString LocalDatabaseRealPath() { return ResolvedDatabaseFile(LocalDatabasePath()).real; }
