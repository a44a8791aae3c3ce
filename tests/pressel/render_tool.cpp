// Renders every button style in every state, in each colour scheme, to PNG files and one labelled
// contact sheet per style, so the looks can be checked by eye:  pbshots [--quick] <folder>
#include "pbCommand.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QPainter>
#include <QTextStream>

#include "IsolatedProfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

struct State {
  const char* name;
  int state;
  bool hover, focus, isDefault, disabled, checked;
};

const State kStates[] = {
    {"normal", 0, false, false, false, false, false},
    {"hover", 0, true, false, false, false, false},
    {"pressed", 2, true, false, false, false, false},      // by the mouse: the pointer is over it
    {"space", 2, false, true, false, false, false},        // by the Space key: focused, no pointer
    {"disabled", 0, false, false, false, true, false},
    {"focused", 0, false, true, false, false, false},
    {"default", 0, false, true, true, false, false},
    {"checked", 0, false, false, false, false, true},
};

struct Variant {
  const char* name;
  int w, h;
  const char* caption;
  bool picture;
  int position;
};

const Variant kVariants[] = {
    {"small", 75, 23, "确定(&R)", false, 0},
    {"picture", 120, 40, "借贷登记", true, 0},
    {"top", 90, 56, "打印(&P)", true, 2},
    {"wrapped", 96, 40, "生成合同并打印借款凭证", false, 0},
    {"tiny", 9, 9, "", true, 0},
    {"dot", 1, 1, "x", false, 0},
};

// A 16 x 16 picture with soft (partly transparent) edges: a green disc with a white tick.
QImage SamplePicture() {
  QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(46, 160, 67));
  p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
  p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF({QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.5, 5.5)}));
  return img;
}

QImage Checkerboard(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      img.setPixel(x, y, ((x / 6 + y / 6) & 1) ? qRgb(200, 214, 232) : qRgb(240, 244, 250));
  return img;
}

// The canvas as the screen shows it: pixels outside the window shape left out.
QImage Shot(const pbCommand& b) {
  QImage out = b.canvas().copy();
  const QRegion region = b.windowRegion();
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x)
      if (!region.contains(QPoint(x, y))) out.setPixel(x, y, 0);
  return out;
}

QImage Render(int type, int scheme, const State& s, const Variant& v, const QImage& picture, bool soft,
              int effect, int gradient) {
  pbCommand b;
  b.resize(v.w, v.h);
  b.setCaption(QString::fromUtf8(v.caption));
  b.setButtonType(pbCommand::ButtonTypes(type));
  if (type == pbCommand::Transparent) b.setBackgroundProvider([](const pbCommand* c) { return Checkerboard(c->width(), c->height()); });
  b.setColorScheme(pbCommand::ColorTypes(scheme));
  if (scheme == pbCommand::Custom) {
    b.setBackColor(0xF0E6D8);  // a pale blue face
    b.setBackOver(0xFFF4E8);
    b.setForeColor(0x5A2E10);
    b.setForeOver(0x8A4A1A);
  }
  b.setSoftBevel(soft);
  b.setSpecialEffect(pbCommand::fx(effect));
  b.setGradColor1(0xFFFFFF);
  b.setGradColor2(0xE0C8B0);
  b.setGradientDir(pbCommand::GradientDirectionEnum(gradient));
  b.setPicturePosition(pbCommand::PicPositions(v.position));
  if (v.picture) b.setImagen(pbCommand::StreamFromImage(picture));
  if (s.checked) {
    b.setCheckBoxBehaviour(true);
    b.setValue(true);
  }
  b.setEnabled(!s.disabled);
  b.setDisplayAsDefault(s.isDefault);
  b.setFocusForDrawing(s.focus);
  b.setHoverForDrawing(s.hover);
  b.Redraw(s.state, true);
  return Shot(b);
}

QString TypeLabel(int type) {
  const QString name = pbCommand::ButtonTypeName(type);
  return QStringLiteral("%1 %2").arg(type).arg(name.isEmpty() ? QStringLiteral("(unknown)") : name);
}

}  // namespace

int main(int argc, char** argv) {
  IsolatedProfile profile;  // run as a test: nothing of the desktop's Qt settings
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  const bool quick = args.removeAll(QStringLiteral("--quick")) > 0;
  // --only N renders one style; --scale N enlarges the sheets (2 by default).
  auto option = [&args](const QString& name, int fallback) {
    const int at = int(args.indexOf(name));
    if (at < 0 || at + 1 >= args.size()) return fallback;
    const int v = args.at(at + 1).toInt();
    args.remove(at, 2);
    return v;
  };
  const int only = option(QStringLiteral("--only"), 0);
  const int scale = std::clamp(option(QStringLiteral("--scale"), 2), 1, 8);
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: pbshots [--quick] [--only style] [--scale n] <output folder>\n");
    return 2;
  }
  const QString outDir = args.first();
  if (!QDir().mkpath(outDir)) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(outDir));
    return 1;
  }
  // Fixed fonts and colours, so that the pictures do not depend on the desktop.
  QStringList families;
  for (const char* file : {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"}) {
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    if (id >= 0) families << QFontDatabase::applicationFontFamilies(id);
  }
  QFont font;
  font.setFamilies(families);
  font.setPointSize(9);
  QApplication::setFont(font);
  pbColors::SetSystemColorTable(pbColors::ClassicColor);

  const QImage picture = SamplePicture();
  QList<int> types = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 99};
  QList<int> schemes = {1, 2, 3, 4};
  if (quick) types = {2, 3}, schemes = {1};
  if (only) types = {only};

  const int pad = 8, labelW = 150, headerH = 22;
  int files = 0;
  QStringList failed;
  for (int type : types) {
    // Rows: each scheme with each variant, then extra rows for effects, soft bevel and gradients.
    struct Row { QString label; QList<QImage> shots; };
    QList<Row> rows;
    for (int scheme : schemes)
      for (const Variant& v : kVariants) {
        Row row{QStringLiteral("%1 / %2").arg(pbCommand::ColorTypeName(scheme), QString::fromLatin1(v.name)), {}};
        for (const State& s : kStates) {
          const QImage img = Render(type, scheme, s, v, picture, false, 0, type == 9 ? 3 : 0);
          const QString name = QStringLiteral("%1/%2_%3_%4_%5.png").arg(outDir).arg(type).arg(QString::fromLatin1(s.name)).arg(scheme).arg(QString::fromLatin1(v.name));
          if (!img.save(name)) failed << name;
          ++files;
          row.shots << img;
        }
        rows << row;
      }
    if (!quick) {
      const char* effects[] = {"embossed", "engraved", "shadowed"};
      for (int fx = 1; fx <= 3; ++fx) {
        Row row{QStringLiteral("Use Windows / %1").arg(QString::fromLatin1(effects[fx - 1])), {}};
        for (const State& s : kStates) row.shots << Render(type, 1, s, kVariants[0], picture, false, fx, 3);
        rows << row;
      }
      Row soft{QStringLiteral("Custom / soft bevel"), {}};
      for (const State& s : kStates) soft.shots << Render(type, 2, s, kVariants[0], picture, true, 0, 3);
      rows << soft;
      if (type == 9)
        for (int dir = 0; dir <= 6; ++dir) {
          Row row{QStringLiteral("gradient %1").arg(dir), {}};
          for (const State& s : kStates) row.shots << Render(type, 1, s, kVariants[1], picture, false, 0, dir);
          rows << row;
        }
    }

    int cellW = 0;
    QList<int> rowH;
    for (const Row& r : rows) {
      int h = 30;  // room for a two-line label
      for (const QImage& i : r.shots) cellW = std::max(cellW, i.width() * scale), h = std::max(h, i.height() * scale);
      rowH << h;
    }
    const int nStates = int(std::size(kStates));
    int sheetH = headerH * 2 + pad;
    for (int h : rowH) sheetH += h + pad;
    QImage sheet(labelW + nStates * (cellW + pad) + pad, sheetH, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(236, 233, 216));  // a dialog background, as the buttons stand on one
    QPainter p(&sheet);
    p.setFont(font);
    p.setPen(Qt::black);
    QFont bold = font;
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(QRect(pad, 0, sheet.width(), headerH), Qt::AlignVCenter, TypeLabel(type));
    p.setFont(font);
    for (int i = 0; i < nStates; ++i)
      p.drawText(QRect(labelW + i * (cellW + pad), headerH, cellW, headerH), Qt::AlignCenter, QString::fromLatin1(kStates[i].name));
    int y = headerH * 2 + pad;
    for (int r = 0; r < rows.size(); ++r) {
      p.drawText(QRect(pad, y, labelW - pad, rowH[r]), Qt::AlignVCenter | Qt::TextWordWrap, rows[r].label);
      for (int i = 0; i < rows[r].shots.size(); ++i) {
        const QImage& shot = rows[r].shots[i];
        p.drawImage(QRect(labelW + i * (cellW + pad), y, shot.width() * scale, shot.height() * scale), shot);
      }
      y += rowH[r] + pad;
    }
    p.end();
    const QString name = QStringLiteral("%1/sheet_%2.png").arg(outDir).arg(type, 2, 10, QLatin1Char('0'));
    if (!sheet.save(name)) failed << name;
    ++files;
  }
  QTextStream(stdout) << files << " pictures in " << outDir << "\n";
  for (const QString& f : failed) QTextStream(stderr) << "not written: " << f << "\n";
  return failed.isEmpty() ? 0 : 1;
}
