#include "platform/StatusPanel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  setTextFormat(Qt::PlainText);
}

void StatusPanel::setPanelText(const QString& text) {
  setText(text);
  setToolTip(text);
  updateGeometry();
}

QString StatusPanel::shownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, contentsRect().width()));
}

QSize StatusPanel::sizeHint() const {
  const QMargins m = contentsMargins();
  return {fontMetrics().horizontalAdvance(text()) + m.left() + m.right() + 2, QLabel::sizeHint().height()};
}

QSize StatusPanel::minimumSizeHint() const {
  const QMargins m = contentsMargins();
  return {fontMetrics().horizontalAdvance(QStringLiteral("中文…")) + m.left() + m.right(), QLabel::minimumSizeHint().height()};
}

void StatusPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  style()->drawItemText(&p, contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shownText(), foregroundRole());
}

std::vector<int> ShareWidths(const std::vector<int>& wanted, int available) {
  std::vector<int> out(wanted.size(), 0);
  std::vector<size_t> open;
  for (size_t i = 0; i < wanted.size(); ++i) open.push_back(i);
  int left = std::max(0, available);
  // Each round settles the panels that want no more than an equal share; when none does, the rest
  // share equally and the remainder pixels go to the first of them.
  while (!open.empty()) {
    const int share = left / static_cast<int>(open.size());
    std::vector<size_t> still;
    for (size_t i : open) {
      const int w = std::max(0, wanted[i]);
      if (w <= share) {
        out[i] = w;
        left -= w;
      } else {
        still.push_back(i);
      }
    }
    if (still.size() == open.size()) {
      int extra = left - share * static_cast<int>(still.size());
      for (size_t i : still) {
        out[i] = share + (extra > 0 ? 1 : 0);
        if (extra > 0) --extra;
      }
      break;
    }
    open = std::move(still);
  }
  return out;
}
