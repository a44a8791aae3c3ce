#pragma once
// Windows of other subsystems that the financing windows open: the shell fills these in, so the
// financing windows do not include those windows themselves. Unset, the command says
// "此功能尚未安装。".
#include <QString>
#include <QVariantList>

#include <functional>

class QWidget;

// Document printing: kind 5 the financing voucher (key 单号), kind 7 and 8 the payment voucher (key
// the payment record's 编号).
extern std::function<void(QWidget* owner, int kind, const QString& key)> gShowFinancingPrint;
// The list print through the template "JJ6.fr3": the list's query with its values, as dataset "融资记录".
extern std::function<void(QWidget* owner, const QString& sql, const QVariantList& params)> gPrintFinancingList;
// The single SMS notice of a payment (kind 2) to the investor.
extern std::function<void(QWidget* owner, int kind, const QString& docNo, qint32 recordId)> gShowFinancingSms;

void NotInstalledMessage();
// Runs a link, or says it is not installed.
template <class F, class... A>
void RunFinancingLink(const F& link, A&&... args) {
  if (link)
    link(std::forward<A>(args)...);
  else
    NotInstalledMessage();
}

