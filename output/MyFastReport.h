#pragma once
// The report binding every printing caller uses: prepare the engine, bind datasets from queries and
// variables, run a template of the program's "template" folder.
#include <QString>
#include <QVariantList>

#include "platform/ReportEngine.h"

class QWidget;

// The one engine instance of the program (one report at a time, on the user-interface thread).
extern ReportEngine gReport;

// Prepares the engine: a fresh instance with no datasets or variables and every preview button.
void BeginReport();
// Runs `sql` with its values through the shared query and binds a copy of the rows in `slot` under
// `name`; gMainRecordset keeps the result for the caller to read. Returns the number of rows.
qint64 BindReportQuery(int slot, const QString& name, const QString& sql, const QVariantList& params = {});
// Shows (mode 0), prints (1, on `printer`, "" for the default printer) or designs (2) the template
// `fileName` of the program folder's "template/", then closes the engine. A missing or malformed
// template and a printer failure are said in a message box; returns false then.
bool RunReportTemplate(const QString& fileName, int mode, const QString& printer, QWidget* owner = nullptr);
// The document a shipped template prints, for its preview's title ("借据" for JJ.FR3...); the file's
// base name for any other template.
QString DocumentTitle(const QString& templateFile);
// The path of a template of the program folder.
QString ReportTemplatePath(const QString& fileName);
// Prints a list: binds the query as dataset 1 under `datasetName` and previews the template
// (the loan list's "JJ4.fr3" with 贷款记录, the financing list's "JJ6.fr3" with 融资记录).
bool PrintListReport(const QString& templateName, const QString& datasetName, const QString& sql,
                     const QVariantList& params, QWidget* owner = nullptr);
