#include "platform/ReportEngine.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPageLayout>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QAbstractTextDocumentLayout>
#include <QTextFrame>
#include <QTextTable>
#include <QToolBar>
#include <QVBoxLayout>

#include <deque>
#include <memory>

#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/PrintPreview.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"
#include "platform/Money.h"
#include "platform/SafeFiles.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::function<QString(double)>& capitals() {
  static std::function<QString(double)> f;
  return f;
}
ReportEngine::ShowHandler& showHandler() {
  static ReportEngine::ShowHandler h;
  return h;
}

// ---- the template, parsed into text pieces, fields and repeats
struct Node {
  enum class Kind { Text, Field, Repeat, Empty } kind = Kind::Text;
  QString text;    // Text: the raw HTML; Field: the expression; Repeat/Empty: the dataset
  QString format;  // Field only
  int line = 1;
  std::vector<Node> children;
};

int lineAt(const QString& s, qsizetype pos) { return int(s.left(pos).count(QLatin1Char('\n'))) + 1; }

[[noreturn]] void fail(int line, const QString& what) {
  throw ReportTemplateError(QStringLiteral("报表模板第%1行：%2").arg(line).arg(what));
}

std::vector<Node> parse(const QString& t) {
  std::vector<Node> root;
  // Repeats being read and where each goes; a deque keeps the addresses of the open ones.
  std::deque<std::pair<Node, std::vector<Node>*>> open;
  std::vector<Node>* out = &root;
  qsizetype pos = 0;
  while (pos < t.size()) {
    const qsizetype start = t.indexOf(QLatin1String("{{"), pos);
    if (start < 0) {
      out->push_back({Node::Kind::Text, t.mid(pos), {}, lineAt(t, pos), {}});
      break;
    }
    if (start > pos) out->push_back({Node::Kind::Text, t.mid(pos, start - pos), {}, lineAt(t, pos), {}});
    const int line = lineAt(t, start);
    const qsizetype end = t.indexOf(QLatin1String("}}"), start + 2);
    if (end < 0) fail(line, QStringLiteral("\"{{\" 没有对应的 \"}}\""));
    const QString inner = t.mid(start + 2, end - start - 2).trimmed();
    pos = end + 2;
    if (inner.isEmpty()) fail(line, QStringLiteral("空的字段 \"{{}}\""));
    if (inner.contains(QLatin1String("{{"))) fail(line, QStringLiteral("\"{{\" 没有对应的 \"}}\""));
    const QChar lead = inner.at(0);
    if (lead == QLatin1Char('#') || lead == QLatin1Char('^')) {
      const QString name = inner.mid(1).trimmed();
      if (name.isEmpty()) fail(line, QStringLiteral("重复区没有数据集名称"));
      Node n{lead == QLatin1Char('#') ? Node::Kind::Repeat : Node::Kind::Empty, name, {}, line, {}};
      open.push_back({std::move(n), out});
      out = &open.back().first.children;
    } else if (lead == QLatin1Char('/')) {
      const QString name = inner.mid(1).trimmed();
      if (open.empty()) fail(line, QStringLiteral("多余的结束标记 {{/%1}}").arg(name));
      if (open.back().first.text != name)
        fail(line, QStringLiteral("结束标记 {{/%1}} 与第%2行的 %3 不对应").arg(name).arg(open.back().first.line).arg(open.back().first.text));
      Node done = std::move(open.back().first);
      std::vector<Node>* parent = open.back().second;
      open.pop_back();
      parent->push_back(std::move(done));
      out = parent;
    } else {
      const qsizetype bar = inner.indexOf(QLatin1Char('|'));
      Node n{Node::Kind::Field, bar < 0 ? inner : inner.left(bar).trimmed(), bar < 0 ? QString() : inner.mid(bar + 1).trimmed(), line, {}};
      out->push_back(std::move(n));
    }
  }
  if (!open.empty()) fail(open.back().first.line, QStringLiteral("重复区 %1 没有结束标记 {{/%1}}").arg(open.back().first.text));
  return root;
}

bool isDatePattern(const QString& f) {
  return f.contains(QLatin1String("yy")) || f.contains(QLatin1String("MM")) || f.contains(QLatin1String("dd"));
}
bool isNumberPattern(const QString& f) {
  static const QRegularExpression re(QStringLiteral("^(Currency|#,##0(\\.0+)?|0(\\.0+)?)$"));
  return re.match(f).hasMatch();
}

// A value as a number: numbers as they are, texts when they are plain numbers (with an optional sign).
bool numberOf(const QVariant& v, double* out) {
  if (IsNumberVariant(v)) {
    *out = v.toDouble();
    return true;
  }
  QString s = v.toString().trimmed();
  bool negative = s.startsWith(QLatin1Char('-'));
  if (negative) s = s.mid(1);
  if (!Money::parse(s, out)) return false;
  if (negative) *out = -*out;
  return true;
}

struct Renderer {
  const std::map<int, ReportDataset>& data;
  const std::vector<std::pair<QString, QString>>& vars;
  std::vector<std::pair<const ReportDataset*, int>> rows;  // the repeats being filled, innermost last

  const ReportDataset* dataset(const QString& name, int line) const {
    for (const auto& [slot, d] : data)
      if (d.name == name) return &d;
    fail(line, QStringLiteral("没有名为 %1 的数据集").arg(name));
  }
  QVariant field(const QString& expr, int line) const {
    const qsizetype dot = expr.indexOf(QLatin1Char('.'));
    const ReportDataset* d = dataset(expr.left(dot), line);
    const QString name = expr.mid(dot + 1);
    const int c = d->column(name);
    if (c < 0) fail(line, QStringLiteral("数据集 %1 没有字段 %2").arg(d->name, name));
    int r = 0;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
      if (it->first == d) {
        r = it->second;
        break;
      }
    if (r >= int(d->rows.size())) return {};
    const QVariantList& row = d->rows[size_t(r)];
    return c < row.size() ? row[c] : QVariant();
  }
  QVariant value(const Node& n) const {
    const QString& e = n.text;
    if (e == QLatin1String("rownum")) {
      if (rows.empty()) fail(n.line, QStringLiteral("{{rownum}} 只能用在重复区里"));
      return rows.back().second + 1;
    }
    if (e == QLatin1String("today")) return DateText(Clock::today());
    if (e.startsWith(QLatin1String("count:"))) return qint64(dataset(e.mid(6).trimmed(), n.line)->rows.size());
    if (e.startsWith(QLatin1String("sum:"))) {
      const QString f = e.mid(4).trimmed();
      const qsizetype dot = f.indexOf(QLatin1Char('.'));
      if (dot <= 0) fail(n.line, QStringLiteral("合计要写成 sum:数据集.字段"));
      const ReportDataset* d = dataset(f.left(dot), n.line);
      const int c = d->column(f.mid(dot + 1));
      if (c < 0) fail(n.line, QStringLiteral("数据集 %1 没有字段 %2").arg(d->name, f.mid(dot + 1)));
      double sum = 0, x = 0;
      for (const QVariantList& r : d->rows)
        if (c < r.size() && numberOf(r[c], &x)) sum += x;
      return Money::round(sum, 2);
    }
    if (e.contains(QLatin1Char('.'))) return field(e, n.line);
    for (const auto& [name, v] : vars)
      if (name == e) return v;
    fail(n.line, QStringLiteral("没有名为 %1 的变量").arg(e));
  }
  void run(const std::vector<Node>& nodes, QString& out) {
    for (const Node& n : nodes) {
      switch (n.kind) {
        case Node::Kind::Text: out += n.text; break;
        case Node::Kind::Field: {
          if (!n.format.isEmpty() && !isDatePattern(n.format) && !isNumberPattern(n.format) && n.format != QStringLiteral("大写"))
            fail(n.line, QStringLiteral("未知的格式 %1").arg(n.format));
          QString text = ReportEngine::formatValue(value(n), n.format).toHtmlEscaped();
          text.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
          text.replace(QLatin1Char('\n'), QLatin1String("<br>"));
          out += text;
          break;
        }
        case Node::Kind::Repeat: {
          const ReportDataset* d = dataset(n.text, n.line);
          for (int r = 0; r < int(d->rows.size()); ++r) {
            rows.push_back({d, r});
            run(n.children, out);
            rows.pop_back();
          }
          break;
        }
        case Node::Kind::Empty:
          if (dataset(n.text, n.line)->rows.empty()) run(n.children, out);
          break;
      }
    }
  }
};

// A template asks for landscape paper with <meta name="orientation" content="landscape">.
QPageLayout::Orientation orientationOf(const QString& html) {
  static const QRegularExpression landscape(QStringLiteral("<meta\\s+name=\"orientation\"\\s+content=\"landscape\""),
                                            QRegularExpression::CaseInsensitiveOption);
  return landscape.match(html).hasMatch() ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// Tables without header rows (totals, signatures) that would cross a page boundary start on the
// next page. The pages are those QTextDocument::print makes: a copy laid out on the printer with
// its 2 cm frame margin, so the breaks set here fall where the print puts its own.
void keepTablesTogether(QTextDocument& doc, QPrinter* printer) {
  std::unique_ptr<QTextDocument> copy(doc.clone());
  copy->documentLayout()->setPaintDevice(printer);
  QTextFrameFormat root = copy->rootFrame()->frameFormat();
  root.setMargin(int((2 / 2.54) * printer->logicalDpiY()));
  copy->rootFrame()->setFrameFormat(root);
  const QSizeF page(printer->width(), printer->height());
  copy->setPageSize(page);
  const QList<QTextFrame*> mine = doc.rootFrame()->childFrames();
  const QList<QTextFrame*> theirs = copy->rootFrame()->childFrames();
  for (qsizetype i = 0; i < theirs.size() && i < mine.size(); ++i) {
    auto* t = qobject_cast<QTextTable*>(theirs[i]);
    if (!t || t->format().headerRowCount() > 0) continue;
    const QRectF r = copy->documentLayout()->frameBoundingRect(t);
    if (r.height() >= page.height() || int(r.top() / page.height()) == int((r.bottom() - 1) / page.height())) continue;
    for (QTextFrame* f : {static_cast<QTextFrame*>(t), mine[i]}) {
      QTextFrameFormat fmt = f->frameFormat();
      fmt.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      f->setFrameFormat(fmt);
    }
  }
}

// ---- the windows

// The preview with its PDF export, the buttons offered as MButtons says.
class ReportPreview : public QPrintPreviewDialog {
 public:
  ReportPreview(const QString& html, const QString& title, const std::vector<bool>& buttons, QWidget* parent)
      : QPrintPreviewDialog(parent), html_(html) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(title);
    resize(960, 760);
    printer()->setPageOrientation(orientationOf(html));
    connect(this, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) {
      if (!ReportEngine::paintHtml(html_, p)) MsgBox(QStringLiteral("打印机未准备好或发生错误！"), Mb::Exclamation, QStringLiteral("警告"));
    });
    if (buttons.size() < 2 || buttons[1]) AddPdfExport(this, [this](QPrinter* p) { return ReportEngine::paintHtml(html_, p); });
  }

 private:
  QString html_;
};

// The designer: the template text, the fields that can be put in, and a preview of the result.
class ReportDesigner : public QDialog {
 public:
  ReportDesigner(const ReportEngine& engine, const QString& path, const QString& text, QWidget* parent)
      : QDialog(parent), engine_(engine), path_(path), savedText_(text) {
    setObjectName(QStringLiteral("ReportDesigner"));
    setWindowTitle(QStringLiteral("报表设计 - ") + QFileInfo(path).fileName());
    resize(1100, 720);
    auto* split = new QSplitter(this);
    auto* left = new QWidget(split);
    auto* lv = new QVBoxLayout(left);
    lv->setContentsMargins(0, 0, 0, 0);
    lv->addWidget(new QLabel(QStringLiteral("字段（双击插入）："), left));
    fields_ = new QListWidget(left);
    fields_->setObjectName(QStringLiteral("lstFields"));
    fields_->addItems(engine.fieldList());
    lv->addWidget(fields_);
    editor_ = new QPlainTextEdit(split);
    editor_->setObjectName(QStringLiteral("txtTemplate"));
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    preview_ = new QTextBrowser(split);
    preview_->setObjectName(QStringLiteral("txtPreview"));
    split->setStretchFactor(1, 3);
    split->setStretchFactor(2, 3);
    editor_->setPlainText(savedText_);
    connect(fields_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* it) { editor_->insertPlainText(it->text()); });
    connect(editor_, &QPlainTextEdit::textChanged, this, [this] { refresh(); });

    auto* save = MakeButton(QStringLiteral("保存(&S)"), this);
    save->setObjectName(QStringLiteral("cmdSave"));
    auto* close = MakeButton(QStringLiteral("关闭(&C)"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(save, &pbCommand::Click, this, [this] { this->save(); });
    connect(close, &pbCommand::Click, this, [this] { reject(); });
    auto* v = new QVBoxLayout(this);
    v->addWidget(split, 1);
    v->addLayout(RightAlignedButtons({save, close}));
    refresh();
  }
  void refresh() {
    try {
      preview_->setHtml(engine_.render(editor_->toPlainText()));
    } catch (const ReportTemplateError& e) {
      preview_->setPlainText(e.message);
    }
  }
  bool save() {
    // A fresh file beside the template, with the template's permission bits, renamed over it: a
    // link at the name is replaced, never written through, and a second hard link of the old
    // template (a snapshot of the folder) keeps the old text.
    struct stat st {};
    const bool plain = ::lstat(QFile::encodeName(path_).constData(), &st) == 0 && S_ISREG(st.st_mode);
    const QByteArray text = editor_->toPlainText().toUtf8();
    const bool saved = WriteBesideAndRename(path_, plain ? st.st_mode & 0777 : MaskedMode(0666), [&text](int fd, const QString&) { return WriteWhole(fd, text) && ::fsync(fd) == 0; });
    if (!saved) {
      MsgBox(QStringLiteral("无法保存报表模板：") + path_, Mb::Exclamation);
      return false;
    }
    savedText_ = editor_->toPlainText();
    return true;
  }
  // Closing with unsaved changes asks first, so no edit is lost by accident.
  void reject() override {
    if (editor_->toPlainText() != savedText_) {
      const int answer = MsgBox(QStringLiteral("报表模板已修改，是否保存？"), Mb::YesNoCancel + Mb::Question);
      if (answer == Mb::Cancel || (answer == Mb::Yes && !save())) return;
    }
    QDialog::reject();
  }
  QPlainTextEdit* editor_;
  QListWidget* fields_;
  QTextBrowser* preview_;

 private:
  const ReportEngine& engine_;
  QString path_;
  QString savedText_;
};
}  // namespace

int ReportDataset::column(const QString& field) const {
  for (int i = 0; i < columns.size(); ++i)
    if (columns[i].compare(field, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

ReportEngine::ReportEngine() = default;
ReportEngine::~ReportEngine() = default;

void ReportEngine::MCreate(int) {
  // A fresh instance: nothing of an earlier run is left.
  MClearAll();
}

void ReportEngine::MClearAll() {
  data_.clear();
  vars_.clear();
  title_.clear();
  buttons_.assign(8, true);
}

void ReportEngine::MButtons(int enable, const std::vector<bool>& switches) {
  buttons_ = switches;
  if (!enable) buttons_.assign(8, false);
}

void ReportEngine::MSetData(int slot, const ReportDataset& data, const QString& name) {
  if (slot < 1 || slot > 4) throw ReportTemplateError(QStringLiteral("数据集位置 %1 无效（只能是 1 到 4）").arg(slot));
  ReportDataset copy = data;
  copy.name = name;
  data_[slot] = std::move(copy);
}

void ReportEngine::MAddV(const QString& name, const QString& value) {
  for (auto& [n, v] : vars_)
    if (n == name) {
      v = value;
      return;
    }
  vars_.push_back({name, value});
}

void ReportEngine::MClose() {
  data_.clear();
  vars_.clear();
}

QString ReportEngine::render(const QString& templateText) const {
  const std::vector<Node> nodes = parse(templateText);
  Renderer r{data_, vars_, {}};
  QString out;
  r.run(nodes, out);
  return out;
}

QString ReportEngine::readTemplate(const QString& path) {
  // Another account that may write template/ could plant a link or a FIFO at the name.
  KeptFileState state;
  const int fd = OpenTemplateFile(path, &state);
  if (fd < 0 && state == KeptFileState::Missing) throw ReportTemplateError(QStringLiteral("找不到报表模板：") + path);
  if (fd < 0 && state == KeptFileState::NotRegular) throw ReportTemplateError(NotRegularTemplateMessage(path));
  QFile f;
  if (fd < 0 || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    if (fd >= 0) ::close(fd);
    throw ReportTemplateError(QStringLiteral("无法读取报表模板：") + path);
  }
  return QString::fromUtf8(f.readAll());
}

bool ReportEngine::paintHtml(const QString& html, QPrinter* printer) {
  QTextDocument doc;
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPointSizeF(10.5);
  doc.setDefaultFont(font);
  doc.setHtml(html);
  printer->setPageOrientation(orientationOf(html));
  printer->setPageSize(QPageSize(QPageSize::A4));
  // QTextDocument::print keeps a 2 cm margin of its own (with the page number in it); the paper's
  // margins would add to it and leave a page too narrow for an 8-column table.
  printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  keepTablesTogether(doc, printer);
  doc.print(printer);
  return printer->printerState() != QPrinter::Error && printer->printerState() != QPrinter::Aborted;
}

bool ReportEngine::printToPdf(const QString& templatePath, const QString& pdfPath) const {
  const QString html = render(readTemplate(templatePath));
  return ExportPdf(pdfPath, [&html](QPrinter* pdf) { return paintHtml(html, pdf); });
}

bool ReportEngine::MPrintReport(int mode, const QString& templatePath, const QString& printer, QWidget* parent) {
  if (mode == 2) {
    // A template that does not exist yet is started empty and written on save; one that is there
    // but cannot be read, or is no plain file, is refused.
    QString text;
    if (NameTaken(templatePath)) text = readTemplate(templatePath);
    if (showHandler()) return showHandler()(*this, mode, templatePath);
    ReportDesigner d(*this, templatePath, text, parent);
    RunModal(&d);
    return true;
  }
  const QString html = render(readTemplate(templatePath));
  if (mode == 0) {
    if (showHandler()) return showHandler()(*this, mode, templatePath);
    ReportPreview p(html, title_.isEmpty() ? QFileInfo(templatePath).completeBaseName() : title_, buttons_, parent);
    RunModal(&p);
    return true;
  }
  QPrinterInfo info = printer.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(printer);
  if (info.isNull()) return false;
  QPrinter device(info, QPrinter::HighResolution);
  if (!device.isValid()) return false;
  return paintHtml(html, &device);
}

QStringList ReportEngine::fieldList() const {
  QStringList out;
  for (const auto& [name, v] : vars_) out << QStringLiteral("{{%1}}").arg(name);
  for (const auto& [slot, d] : data_) {
    out << QStringLiteral("{{#%1}}").arg(d.name);
    for (const QString& c : d.columns) out << QStringLiteral("{{%1.%2}}").arg(d.name, c);
    out << QStringLiteral("{{/%1}}").arg(d.name);
  }
  out << QStringLiteral("{{rownum}}") << QStringLiteral("{{today|yyyy年MM月dd日}}");
  return out;
}

void ReportEngine::setCapitalsFormatter(std::function<QString(double)> f) { capitals() = std::move(f); }
void ReportEngine::setShowHandler(ShowHandler h) { showHandler() = std::move(h); }

QString ReportEngine::formatValue(const QVariant& value, const QString& format) {
  if (!value.isValid() || value.isNull()) return QString();
  double x = 0;
  if (format.isEmpty()) {
    if (IsNumberVariant(value)) return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
  }
  if (format == QStringLiteral("大写")) {
    if (!numberOf(value, &x)) return value.toString();
    return capitals() ? capitals()(Money::round(x, 2)) : Money::format(x, QStringLiteral("0.00"));
  }
  if (isDatePattern(format)) {
    const QDate d = ParseDateText(value.toString());
    return d.isValid() ? d.toString(format) : value.toString();
  }
  if (!numberOf(value, &x)) return value.toString();
  return FormatNumber(x, format);
}
