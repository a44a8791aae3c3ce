// The contract writer: placeholders split across runs, repeated, with or without "$", escaped
// values and line breaks; missing and damaged templates; every written part is well-formed XML.
#include <QFile>
#include <QXmlStreamReader>

#include <unistd.h>

#include "TestSupport.h"
#include "platform/ContractWriter.h"
#include "platform/SafeFiles.h"

namespace {
const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                    "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
const char* kTail = "</w:body></w:document>";

QByteArray doc(const QString& paragraphs) { return QByteArray(kHead) + paragraphs.toUtf8() + kTail; }

// The text of a part, paragraph by paragraph ("|" between paragraphs, "/" for a line break).
QString plainText(const QByteArray& xml) {
  QXmlStreamReader r(xml);
  QString out;
  while (!r.atEnd()) {
    r.readNext();
    if (r.isStartElement() && r.name() == QLatin1String("t")) out += r.readElementText();
    else if (r.isStartElement() && r.name() == QLatin1String("br")) out += QLatin1Char('/');
    else if (r.isEndElement() && r.name() == QLatin1String("p")) out += QLatin1Char('|');
  }
  EXPECT_FALSE(r.hasError()) << r.errorString().toStdString();
  return out;
}

bool wellFormed(const QByteArray& xml) {
  QXmlStreamReader r(xml);
  while (!r.atEnd()) r.readNext();
  return !r.hasError();
}

std::vector<std::pair<QString, QByteArray>> minimalDocx(const QByteArray& document) {
  return {{QStringLiteral("[Content_Types].xml"),
           "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
          {QStringLiteral("word/document.xml"), document},
          {QStringLiteral("word/header1.xml"),
           "<?xml version=\"1.0\"?><w:hdr xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
           "<w:p><w:r><w:t>合同 {公司}</w:t></w:r></w:p></w:hdr>"}};
}
}  // namespace

TEST(ContractXml, PlaceholdersAreFoundAcrossRunsAndReplacedEverywhere) {
  const ContractValues values = {{QStringLiteral("{甲方}"), QStringLiteral("张三")},
                                 {QStringLiteral("{大写}"), QStringLiteral("壹万圆整")},
                                 {QStringLiteral("{丙方}"), QStringLiteral("李四\r\n王五\r\n")},
                                 {QStringLiteral("{公司}"), QStringLiteral("A&B<公司>")},
                                 {QStringLiteral("{空}"), QString()}};
  struct Case {
    const char* name;
    const char* paragraphs;
    const char* text;
    int replaced;
  } cases[] = {
      {"one run", "<w:p><w:r><w:t>甲方：{甲方}。</w:t></w:r></w:p>", "甲方：张三。|", 1},
      {"trailing $", "<w:p><w:r><w:t>{甲方}$，</w:t></w:r></w:p>", "张三，|", 1},
      {"split over three runs with formatting",
       "<w:p><w:r><w:t>金额{</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>大</w:t></w:r><w:r><w:t xml:space=\"preserve\">写}$ 元</w:t></w:r></w:p>",
       "金额壹万圆整 元|", 1},
      {"repeated in one paragraph and in the next", "<w:p><w:r><w:t>{甲方}与{甲方}</w:t></w:r></w:p><w:p><w:r><w:t>{甲方}</w:t></w:r></w:p>",
       "张三与张三|张三|", 3},
      {"escaped value", "<w:p><w:r><w:t>{公司}</w:t></w:r></w:p>", "A&B<公司>|", 1},
      {"line breaks", "<w:p><w:r><w:t>{丙方}</w:t></w:r></w:p>", "李四/王五/|", 1},
      {"empty value removes it", "<w:p><w:r><w:t>[{空}]</w:t></w:r></w:p>", "[]|", 1},
      {"unknown and broken braces stay", "<w:p><w:r><w:t>{未知} {甲 方} {</w:t></w:r></w:p>", "{未知} {甲 方} {|", 0},
      {"entities in the template", "<w:p><w:r><w:t>&lt;{甲方}&amp;</w:t></w:r></w:p>", "<张三&|", 1},
      {"empty text element", "<w:p><w:r><w:t/></w:r><w:r><w:t>{甲方}</w:t></w:r></w:p>", "张三|", 1},
  };
  for (const Case& c : cases) {
    int replaced = -1;
    const QByteArray out = FillContractXml(doc(QString::fromUtf8(c.paragraphs)), values, &replaced);
    EXPECT_TRUE(wellFormed(out)) << c.name << "\n" << out.toStdString();
    EXPECT_EQ(plainText(out), QString::fromUtf8(c.text)) << c.name;
    EXPECT_EQ(replaced, c.replaced) << c.name;
  }
  // A value holding a placeholder is not filled again.
  const QByteArray out = FillContractXml(doc(QStringLiteral("<w:p><w:r><w:t>{甲方}{大写}</w:t></w:r></w:p>")),
                                         {{QStringLiteral("{甲方}"), QStringLiteral("{大写}")}, {QStringLiteral("{大写}"), QStringLiteral("X")}});
  EXPECT_EQ(plainText(out), QStringLiteral("{大写}X|"));
  EXPECT_THROW(FillContractXml("<w:document", values), ContractError);
}

class ContractFileTest : public ProgramTest {};

TEST_F(ContractFileTest, WritesAWellFormedDocxAndNothingOnFailure) {
  const QString templ = dir_.filePath(QStringLiteral("gr.docx"));
  ASSERT_TRUE(WriteDocxParts(templ, minimalDocx(doc(QStringLiteral("<w:p><w:r><w:t>{甲</w:t></w:r><w:r><w:t>方}</w:t></w:r></w:p>")))));
  // A template with a second hard link (a snapshot of the folder made with cp -al) is used.
  ASSERT_EQ(::link(QFile::encodeName(templ).constData(), QFile::encodeName(dir_.filePath(QStringLiteral("快照.docx"))).constData()), 0);
  const QString result = dir_.filePath(QStringLiteral("合同/D001.docx"));
  const ContractValues values = {{QStringLiteral("{甲方}"), QStringLiteral("张三")}, {QStringLiteral("{公司}"), QStringLiteral("某公司")}};
  EXPECT_EQ(WriteContract(templ, result, values), QString());
  auto parts = ReadDocxParts(result);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0].first, QStringLiteral("[Content_Types].xml"));
  for (const auto& [name, data] : parts) EXPECT_TRUE(wellFormed(data)) << name.toStdString();
  EXPECT_EQ(plainText(parts[1].second), QStringLiteral("张三|"));
  EXPECT_EQ(plainText(parts[2].second), QStringLiteral("合同 某公司|"));
  // Generated again, the contract is replaced.
  EXPECT_EQ(WriteContract(templ, result, {{QStringLiteral("{甲方}"), QStringLiteral("李四")}}), QString());
  EXPECT_EQ(plainText(ReadDocxParts(result)[1].second), QStringLiteral("李四|"));
  // Another account that may write 合同/ planted something at the name or at its part file: the
  // contract is a file of its own there, written nowhere else.
  for (Plant kind : kEveryPlant) {
    SCOPED_TRACE(PlantText(kind));
    const PlantedName atName(kind, result, dir_.path());
    const PlantedName atPart(kind, result + QStringLiteral(".part"), dir_.path());
    EXPECT_EQ(WriteContract(templ, result, {{QStringLiteral("{甲方}"), QStringLiteral("王五")}}), QString());
    EXPECT_TRUE(IsPlainFile(result));
    EXPECT_EQ(plainText(ReadDocxParts(result)[1].second), QStringLiteral("王五|"));
    EXPECT_FALSE(atPart.stillPlanted());
    EXPECT_TRUE(atName.othersUntouched());
    EXPECT_TRUE(atPart.othersUntouched());
  }

  // A missing template, a file that is not a docx, a damaged document: named, and no file left.
  const QString other = dir_.filePath(QStringLiteral("合同/D002.docx"));
  EXPECT_EQ(WriteContract(dir_.filePath(QStringLiteral("none.docx")), other, values),
            QStringLiteral("找不到合同模板：") + dir_.filePath(QStringLiteral("none.docx")));
  const QString notZip = dir_.filePath(QStringLiteral("bad.docx"));
  QFile f(notZip);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("not a zip");
  f.close();
  EXPECT_TRUE(WriteContract(notZip, other, values).startsWith(QStringLiteral("合同模板不是有效的 Word 文档")));
  const QString damaged = dir_.filePath(QStringLiteral("damaged.docx"));
  ASSERT_TRUE(WriteDocxParts(damaged, minimalDocx("<w:document><w:body>")));
  EXPECT_TRUE(WriteContract(damaged, other, values).startsWith(QStringLiteral("合同模板已损坏")));
  EXPECT_FALSE(QFile::exists(other));
  EXPECT_FALSE(QFile::exists(other + QStringLiteral(".part")));
}
