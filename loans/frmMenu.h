#pragma once
// The popup of the collection and payment calendars: one item per instalment of the day clicked;
// an item opens the loan view (mode "催款") or the financing record's payment view (mode "支付").
#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <vector>

#include "loans/CollectionSchedule.h"

class QAction;
class QMenu;
class QWidget;

class frmMenu : public QObject {
  Q_OBJECT
 public:
  // `owner` is the calendar: the windows the items open are owned by it.
  explicit frmMenu(QWidget* owner);
  ~frmMenu() override;

  // "催款" or "支付", set by the calendar before it fills the popup.
  QString Mode;
  // Items filled since the popup was made.
  int ItemCount = 0;

  // Fill the popup from loan plan rows / financing plan rows (comma lists of 编号); failures leave
  // the popup as it was.
  void 催款日程_点击Fg(const QString& idList);
  void 支付日程_点击Fg(const QString& idList);
  // Shows the popup at a screen position (it stays open until an item is chosen or it is dismissed).
  void popup(const QPoint& globalPos);
  // Chooses item `index`, as a click on it does.
  void mnu_lss_Click(int index);

  QMenu* mnu_ls = nullptr;
  std::vector<QAction*> mnu_lss;
  std::vector<QString> itemDocNos;

 private:
  void fill(const std::vector<PopupItem>& items);
  QWidget* owner_;
};
