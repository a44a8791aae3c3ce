#pragma once
// Amounts in Chinese capital numerals (大写) for contracts, receipts and printed documents:
// 1234.56 gives 壹仟贰佰叁拾肆圆伍角陆分.
#include <QString>

// The amount, rounded to the fen, in capitals, up to twelve whole digits (仟亿). Fixed results: "零"
// for 0, "0" when the whole part has more than 12 digits.
// A negative amount gives "负" and the capitals of its size. A value that is not a number is
// reported (ReportRuntimeError) and gives "".
QString AmountToChineseUppercase(double amount);
