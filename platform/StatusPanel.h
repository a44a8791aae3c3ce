#pragma once
// A status bar panel that never widens its window: a text longer than the panel is cut with "…"
// and the whole text is its tooltip.
#include <QLabel>

#include <vector>

class StatusPanel : public QLabel {
  Q_OBJECT
 public:
  explicit StatusPanel(QWidget* parent = nullptr);
  // Sets the text and the tooltip that shows it whole.
  void setPanelText(const QString& text);
  // What the panel shows at its present width: the text, or its beginning and "…".
  QString shownText() const;
  // The whole text: what the panel would like.
  QSize sizeHint() const override;
  // A few characters: the window's least width never depends on the text.
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* e) override;
};

// Shares `available` pixels among panels that want the given widths: a panel that wants no more than
// an equal share gets what it wants, and what it leaves is shared among the others in the same way.
// The result never adds up to more than `available` (nor below 0 for any panel).
std::vector<int> ShareWidths(const std::vector<int>& wanted, int available);
