// Runs the loan and financing calculations without windows or database: one JSON object on standard
// input, one on standard output. Invalid input: the window's message on standard error, exit status 2.
//   echo '{"计算":"贷款计划", ...}' | vrnjd_calc
#include <QCoreApplication>
#include <QFile>

#include <clocale>
#include <cstdio>

#include "tools/CalcTool.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  QCoreApplication app(argc, argv);
  QFile in;
  if (!in.open(stdin, QIODevice::ReadOnly)) return 2;
  QByteArray out;
  QString err;
  const int status = RunCalculation(in.readAll(), &out, &err);
  if (status == 0) {
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
  } else {
    const QByteArray e = err.toUtf8() + '\n';
    std::fwrite(e.constData(), 1, static_cast<size_t>(e.size()), stderr);
  }
  return status;
}
