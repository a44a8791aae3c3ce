#pragma once
// The quick-fill lists of a loan's terms, as the registration form and the loan view show them.
#include <QString>

class QComboBox;

// 利率选择: "一厘" to "一角".
void FillRatePresets(QComboBox* box);
// 金额选择: "五万" to "五百万".
void FillAmountPresets(QComboBox* box);
// The amount of 金额选择's item `index` ("50000"), "" for none.
QString AmountPresetValue(int index);
// 期限选择: "1天" to "100天" for a daily rate, "1个月" to "12个月" for a monthly one; the first item
// current, without a change signal.
void FillTermPresets(QComboBox* box, bool daily);
