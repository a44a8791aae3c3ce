#include "loans/LoanPresets.h"

#include <QComboBox>
#include <QSignalBlocker>

#include <iterator>

namespace {
const char* const kRatePresets[] = {"一厘", "二厘", "三厘", "四厘", "五厘", "六厘", "七厘", "八厘", "九厘", "一分",
                                    "二分", "三分", "四分", "五分", "六分", "七分", "八分", "九分", "一角"};
const char* const kAmountPresets[] = {"五万",   "六万",   "七万",   "八万",   "九万",   "十万",  "十五万",
                                      "二十万", "三十万", "五十万", "一百万", "二百万", "五百万"};
const char* const kAmountValues[] = {"50000",  "60000",  "70000",   "80000",   "90000",   "100000", "150000",
                                     "200000", "300000", "500000", "1000000", "2000000", "5000000"};
static_assert(std::size(kAmountPresets) == std::size(kAmountValues));
}  // namespace

void FillRatePresets(QComboBox* box) {
  for (const char* p : kRatePresets) box->addItem(QString::fromUtf8(p));
}

void FillAmountPresets(QComboBox* box) {
  for (const char* p : kAmountPresets) box->addItem(QString::fromUtf8(p));
}

QString AmountPresetValue(int index) {
  return index >= 0 && index < int(std::size(kAmountValues)) ? QString::fromLatin1(kAmountValues[index]) : QString();
}

void FillTermPresets(QComboBox* box, bool daily) {
  QSignalBlocker block(box);
  box->clear();
  for (int i = 1; i <= (daily ? 100 : 12); ++i)
    box->addItem(QString::number(i) + (daily ? QStringLiteral("天") : QStringLiteral("个月")));
  box->setCurrentIndex(0);
}
