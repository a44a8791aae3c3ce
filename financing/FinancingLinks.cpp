#include "financing/FinancingLinks.h"

#include <QVariantList>

#include "platform/Dialogs.h"

std::function<void(QWidget*, int, const QString&)> gShowFinancingPrint;
std::function<void(QWidget*, const QString&, const QVariantList&)> gPrintFinancingList;
std::function<void(QWidget*, int, const QString&, qint32)> gShowFinancingSms;

void NotInstalledMessage() { MsgBox(QStringLiteral("此功能尚未安装。"), Mb::Information); }
