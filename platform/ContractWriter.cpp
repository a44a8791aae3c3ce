#include "platform/ContractWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <zip.h>

#include "platform/SafeFiles.h"

#include <algorithm>

#include <unistd.h>

namespace {
const QString kWordNs = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");

// One text element of a paragraph: where it stands in the XML and the text it holds.
struct TextNode {
  qsizetype begin = 0;  // the "<" of its start tag
  qsizetype end = 0;    // just after its end tag
  QString tag;          // its qualified name ("w:t")
  QString text;
};

struct Edit {
  qsizetype begin, end;
  QString replacement;
};

QString escapeText(const QString& s) {
  QString out;
  out.reserve(s.size());
  for (QChar c : s) {
    if (c == QLatin1Char('&'))
      out += QLatin1String("&amp;");
    else if (c == QLatin1Char('<'))
      out += QLatin1String("&lt;");
    else if (c == QLatin1Char('>'))
      out += QLatin1String("&gt;");
    else
      out += c;
  }
  return out;
}

// The XML of a text element holding `text`; line breaks become breaks of the run.
QString textElement(const QString& tag, const QString& text) {
  QString t = text;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  const QString prefix = tag.contains(QLatin1Char(':')) ? tag.section(QLatin1Char(':'), 0, 0) + QLatin1Char(':') : QString();
  const QString open = QStringLiteral("<%1 xml:space=\"preserve\">").arg(tag);
  const QString close = QStringLiteral("</%1>").arg(tag);
  QString out = open;
  const QStringList lines = t.split(QLatin1Char('\n'));
  for (int i = 0; i < lines.size(); ++i) {
    if (i > 0) out += close + QStringLiteral("<%1br/>").arg(prefix) + open;
    out += escapeText(lines[i]);
  }
  return out + close;
}

// The replacements of one paragraph, found in the text of all its runs together.
void fillParagraph(const std::vector<TextNode>& nodes, const ContractValues& values, std::vector<Edit>& edits, int& replaced) {
  QString all;
  std::vector<int> owner;
  for (int n = 0; n < int(nodes.size()); ++n) {
    all += nodes[size_t(n)].text;
    owner.insert(owner.end(), size_t(nodes[size_t(n)].text.size()), n);
  }
  if (!all.contains(QLatin1Char('{'))) return;
  std::vector<bool> keep(size_t(all.size()), true);
  std::vector<QString> insert(size_t(all.size()));
  std::vector<bool> inserted(size_t(all.size()), false);
  bool changed = false;
  for (qsizetype i = 0; i < all.size();) {
    if (all[i] != QLatin1Char('{')) {
      ++i;
      continue;
    }
    qsizetype length = 0;
    const QString* value = nullptr;
    for (const auto& [key, v] : values)
      if (!key.isEmpty() && all.mid(i, key.size()) == key) {
        length = key.size();
        value = &v;
        break;
      }
    if (!value) {
      ++i;
      continue;
    }
    if (i + length < all.size() && all[i + length] == QLatin1Char('$')) ++length;
    for (qsizetype k = i; k < i + length; ++k) keep[size_t(k)] = false;
    insert[size_t(i)] += *value;
    inserted[size_t(i)] = true;
    changed = true;
    ++replaced;
    i += length;
  }
  if (!changed) return;
  std::vector<QString> texts(nodes.size());
  std::vector<bool> touched(nodes.size(), false);
  for (qsizetype i = 0; i < all.size(); ++i) {
    const size_t n = size_t(owner[size_t(i)]);
    if (inserted[size_t(i)] || !keep[size_t(i)]) touched[n] = true;
    texts[n] += insert[size_t(i)];
    if (keep[size_t(i)]) texts[n] += all[i];
  }
  for (size_t n = 0; n < nodes.size(); ++n)
    if (touched[n]) edits.push_back({nodes[n].begin, nodes[n].end, textElement(nodes[n].tag, texts[n])});
}

bool isFilledPart(const QString& name) {
  return name == QLatin1String("word/document.xml") ||
         ((name.startsWith(QLatin1String("word/header")) || name.startsWith(QLatin1String("word/footer"))) &&
          name.endsWith(QLatin1String(".xml")));
}
}  // namespace

QByteArray FillContractXml(const QByteArray& xml, const ContractValues& values, int* replaced) {
  const QString doc = QString::fromUtf8(xml);
  QXmlStreamReader r(doc);
  std::vector<std::vector<TextNode>> paragraphs;  // open paragraphs, innermost last
  std::vector<Edit> edits;
  int count = 0;
  qsizetype tokenStart = 0;
  TextNode* current = nullptr;
  qsizetype currentContent = -1;
  while (!r.atEnd()) {
    r.readNext();
    const qsizetype after = qsizetype(r.characterOffset());
    if (r.isStartElement() && r.namespaceUri() == kWordNs) {
      if (r.name() == QLatin1String("p")) {
        paragraphs.emplace_back();
      } else if (r.name() == QLatin1String("t") && !paragraphs.empty()) {
        paragraphs.back().push_back({tokenStart, 0, r.qualifiedName().toString(), QString()});
        current = &paragraphs.back().back();
        currentContent = after;
      }
    } else if (r.isCharacters() && current) {
      current->text += r.text();
    } else if (r.isEndElement() && r.namespaceUri() == kWordNs) {
      if (r.name() == QLatin1String("t") && current) {
        current->end = after;
        // An empty element "<w:t/>" holds nothing to replace.
        if (after == currentContent) paragraphs.back().pop_back();
        current = nullptr;
      } else if (r.name() == QLatin1String("p") && !paragraphs.empty()) {
        fillParagraph(paragraphs.back(), values, edits, count);
        paragraphs.pop_back();
      }
    }
    tokenStart = after;
  }
  if (r.hasError()) throw ContractError{QStringLiteral("合同模板已损坏（%1，第%2行）").arg(r.errorString()).arg(r.lineNumber())};
  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin > b.begin; });
  QString out = doc;
  for (const Edit& e : edits) out.replace(e.begin, e.end - e.begin, e.replacement);
  if (replaced) *replaced = count;
  return out.toUtf8();
}

namespace {
// The XML parts of an opened archive, which is closed here.
std::vector<std::pair<QString, QByteArray>> readParts(zip_t* z) {
  std::vector<std::pair<QString, QByteArray>> parts;
  const zip_int64_t n = zip_get_num_entries(z, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(z, zip_uint64_t(i), 0, &st) != 0) continue;
    zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
    if (!f) {
      parts.clear();
      break;
    }
    QByteArray data(qsizetype(st.size), Qt::Uninitialized);
    const zip_int64_t got = zip_fread(f, data.data(), st.size);
    zip_fclose(f);
    if (got != zip_int64_t(st.size)) {
      parts.clear();
      break;
    }
    parts.push_back({QString::fromUtf8(st.name), data});
  }
  zip_discard(z);
  return parts;
}
}  // namespace

std::vector<std::pair<QString, QByteArray>> ReadDocxParts(const QString& path) {
  int error = 0;
  zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
  if (!z) return {};
  return readParts(z);
}

bool WriteDocxParts(const QString& path, const std::vector<std::pair<QString, QByteArray>>& parts) {
  // A new regular file of ours stands at the name before the library opens it (it would follow a link).
  if (!MakeFreshFile(path, MaskedMode(0666))) return false;
  int error = 0;
  zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!z) {
    RemoveName(path);
    return false;
  }
  for (const auto& [name, data] : parts) {
    // The buffers live in `parts` until zip_close has written them.
    zip_source_t* s = zip_source_buffer(z, data.constData(), zip_uint64_t(data.size()), 0);
    if (!s || zip_file_add(z, name.toUtf8().constData(), s, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
      if (s) zip_source_free(s);
      zip_discard(z);
      RemoveName(path);
      return false;
    }
  }
  if (zip_close(z) != 0) {
    zip_discard(z);
    RemoveName(path);
    return false;
  }
  return true;
}

QString WriteContract(const QString& templatePath, const QString& resultPath, const ContractValues& values) {
  // Read through a descriptor of a plain file only: another account that may write template/
  // could plant a link or a FIFO at the name.
  KeptFileState state;
  const int fd = OpenTemplateFile(templatePath, &state);
  if (fd < 0 && state == KeptFileState::NotRegular) return NotRegularTemplateMessage(templatePath);
  if (fd < 0 && state == KeptFileState::Missing) return QStringLiteral("找不到合同模板：") + templatePath;
  int error = 0;
  zip_t* z = fd < 0 ? nullptr : zip_fdopen(fd, ZIP_RDONLY, &error);  // takes the descriptor over when it opens
  if (!z && fd >= 0) ::close(fd);
  std::vector<std::pair<QString, QByteArray>> parts;
  if (z) parts = readParts(z);
  const bool hasDocument = std::any_of(parts.begin(), parts.end(), [](const auto& p) { return p.first == QLatin1String("word/document.xml"); });
  if (!hasDocument) return QStringLiteral("合同模板不是有效的 Word 文档：") + templatePath;
  try {
    for (auto& [name, data] : parts)
      if (isFilledPart(name)) data = FillContractXml(data, values);
  } catch (const ContractError& e) {
    return e.message + QStringLiteral("：") + templatePath;
  }
  QDir().mkpath(QFileInfo(resultPath).absolutePath());
  const QString temp = resultPath + QStringLiteral(".part");
  if (!WriteDocxParts(temp, parts)) {
    RemoveName(temp);
    return QStringLiteral("无法写入合同文件：") + resultPath;
  }
  // One step over whatever stands at the name: a link there is replaced, never followed.
  if (!RenameReplacing(temp, resultPath)) {
    RemoveName(temp);
    return QStringLiteral("无法写入合同文件（文件可能正被打开）：") + resultPath;
  }
  return QString();
}
