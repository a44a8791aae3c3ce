#pragma once
// The window pattern the individual-customer, corporate-customer and investor lists share: a list
// with a quick search by mnemonic, the modes 浏览, 新增, 修改 and 删除, an edit frame bound to the
// columns of one table, and the confirm command, which in pick mode hands the chosen row back to
// the window that opened the list.
#include <QDialog>
#include <QVariantList>

#include <array>
#include <initializer_list>
#include <map>
#include <vector>

#include "parties/PartyData.h"

class ButtonArray;
class Grid;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// The row a list hands back to the window that opened it as a picker: the opener reads it after
// the modal show returned QDialog::Accepted and runs its own hand-back with it.
struct PartyPick {
  qint16 mode = 0;  // the PickMode the row was picked in
  qint32 id = 0;    // 编号, column 0 of the list
  QString name;     // 姓名 or 公司名称, column 1 of the list
};

class PartyListBase : public QDialog {
  Q_OBJECT
 public:
  // Options of optGn.
  enum Option { optBrowse = 0, optAdd = 1, optModify = 2, optDelete = 3 };
  // Buttons of eCmdzx.
  enum Command { cmdOk = 0, cmdImport = 1, cmdExport = 2, cmdExit = 3, cmdPrint = 4 };

  // Set by the opener before the modal show; back to 0 when the window closes.
  qint16 PickMode = 0;
  // The grid's columns: 编号 first, the name second.
  QString ListColumns;
  // 编号 of the record the boxes show, kept when it is loaded: a modify saves to it, whatever row
  // the grid has current by then. 0 when the boxes show no stored record.
  qint32 CurrentId = 0;
  // The row handed back in pick mode.
  PartyPick Picked;

  QGroupBox* Frame3 = nullptr;  // "数据": every edit control
  std::map<int, QLineEdit*> txtZX;
  std::map<int, QLabel*> labZX;
  std::array<QRadioButton*, 4> optGn{};
  Grid* Fg = nullptr;
  QLineEdit* txtCzxx = nullptr;  // quick search by mnemonic
  ButtonArray* eCmdzx = nullptr;

  // The load work, once (the first show runs it): InitPartyList and the pinyin tables.
  void Form_Load();
  // Prepares the controls and loads the whole list.
  virtual void InitPartyList();
  // Fills the grid from the query; in "浏览" the edit frame is then disabled.
  void LoadPartyList(const QString& sql, const QVariantList& params = {});
  // 0 disables the edit frame, any other mode enables it.
  virtual void SetEditMode(int mode);
  // Writes the boxes to the table: a new row under "新增", else the record loaded into the boxes.
  // Returns the row's 编号, or 0 when the loaded record no longer exists (nothing is written).
  qint32 增修();

  int SelectedOption() const;
  // Selects an option and runs its click, as the user's click does.
  void SelectOption(int index);

  // Event handlers (each runs inside the error guard).
  void optGn_Click(int index);
  void txtCzxx_Change();
  void Fg_Click();
  void Fg_DblClick();
  void eCmdzx_Click(int index);

 protected:
  struct Texts {
    QString title;        // window title
    QString listCaption;  // caption of the list frame
    QString partyWord;    // how the delete question names the party
    QString printTitle;   // after the company name
    QString exportLog;
    QString printLog;
  };
  PartyListBase(PartyKind kind, const Texts& texts, QWidget* owner);

  // Building the edit frame: a label and its control at a cell of the frame's grid (`col` counts
  // label/control pairs; `span` pairs wide).
  QLabel* makeLabel(int index, const QString& caption);
  QLineEdit* addText(int index, QLabel* label, const QString& column, int row, int col, int span = 1);
  void addField(QWidget* box, QLabel* label, const QString& column, int row, int col, int span = 1);
  // Enter in `from` moves the focus to `to` (Enter is swallowed in every box either way).
  void setEnterMoves(QWidget* from, QWidget* to);
  // Required captions stand out.
  void markRequired(const std::vector<QLabel*>& labels);
  // The box keeps to digits, "." and Backspace.
  static void digitsOnly(QLineEdit* box);
  // Every change of `box` sets the 助记符 box to the pinyin initials of the name box.
  void followNameWithMnemonic(QLineEdit* box);

  // Empties the edit controls (first combo item, empty date, unticked box); no record is shown then.
  void clearFields();
  // Shows the record in the boxes (every box, so none keeps another record's value).
  void loadRecord(qint32 id);
  // The 编号 of the grid's current row.
  qint32 currentRowId() const;
  // The full list again (the search box emptied) with `id` as the current row when it is listed.
  void reloadShowing(qint32 id);

  // The required fields, checked in order; false after the first failure (said and marked).
  virtual bool checkRequired(bool adding) = 0;
  // The usual check: each box txtZX(box) must hold a text, named by the caption of labZX(label).
  bool requireFilled(std::initializer_list<std::pair<int, int>> boxAndLabel);
  // What the window does after a save of the record `id`.
  virtual void afterSave(bool added, qint32 id) = 0;
  // Whether a PickMode hands a row back.
  virtual bool handsBack(int mode) const = 0;

  // "浏览" without a hand-back closes the window (investors) instead of doing nothing.
  bool closeWhenNothingToPick_ = false;
  // A row clicked under "新增" switches to "修改" and is edited, never copied into a new row.
  bool modifyOnRowClickInAdd_ = false;

  void showEvent(QShowEvent* e) override;
  void done(int r) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  struct Field {
    QString column;
    QWidget* box;
  };
  void rowLoad();
  void confirm();
  void confirmBrowse();
  void deleteCurrentRow();
  void exportList();
  void printList();
  void importList();
  void updateMnemonic();

  PartyKind kind_;
  Texts texts_;
  QString table_;
  qint16 importKind_;
  QGridLayout* fields_ = nullptr;
  std::vector<Field> bound_;
  std::map<QObject*, QWidget*> enterNext_;
  int labelWidth_ = 0;
  bool loaded_ = false;
  bool settingMnemonic_ = false;
};
