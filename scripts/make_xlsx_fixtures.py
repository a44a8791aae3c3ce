#!/usr/bin/env python3
"""Writes the .xlsx workbooks (and the other ZIP files) of the import tests into
tests/fixtures/import/. Run from the project folder; the files are committed with this script.

No office program is needed: the XML parts are written here, in the shapes the two programs clerks
save with write them:
  - LibreOffice Calc: relative relationship targets, a styles part with its own number formats
    (ids from 164, dates as "YYYY\\-MM\\-DD"), every cell with r, s and t="s" or t="n";
  - Excel: built-in number formats (14 for a date), numbers without t and large ones in exponent
    form ("6.2170000100012298E+18"), rows with spans, shared strings with rich-text runs and
    phonetic runs (rPh), and, as some writers do, absolute relationship targets.
Other writers' inline strings (t="inlineStr"), cells and rows without r, formula results,
booleans and error cells have a workbook of their own.
"""
import os
import sys
import zipfile
from datetime import date
from xml.sax.saxutils import escape, quoteattr

OUT = os.path.join("tests", "fixtures", "import")
MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG_REL = "http://schemas.openxmlformats.org/package/2006/relationships"
WORKBOOK_TYPE = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"
MACRO_TYPE = "application/vnd.ms-excel.sheet.macroEnabled.main+xml"


class Date:
    """A date cell: a serial day number with a date format."""

    def __init__(self, y, m, d, fmt=None):
        self.day, self.fmt = date(y, m, d), fmt

    def serial(self, date1904):
        return (self.day - (date(1904, 1, 1) if date1904 else date(1899, 12, 30))).days


class Raw:
    """A cell written as it stands (inline strings, formulas, booleans, errors)."""

    def __init__(self, xml):
        self.xml = xml


def col_name(c):
    s = ""
    c += 1
    while c:
        c, r = divmod(c - 1, 26)
        s = chr(65 + r) + s
    return s


def number_text(v, excel):
    if isinstance(v, float) and v != int(v):
        return repr(v)
    if excel and abs(v) >= 1e15:
        return "%.16E" % v  # Excel: 6.2170000100012298E+18
    return str(int(v))


class Book:
    def __init__(self, layout, date1904=False):
        self.layout, self.date1904 = layout, date1904
        self.strings = []
        self.formats = {}  # custom number format code -> id
        self.xfs = [0]  # numFmtId of each cell format; 0 General

    def string(self, s):
        if s not in self.strings:
            self.strings.append(s)
        return self.strings.index(s)

    def xf(self, fmt):
        if isinstance(fmt, str):
            if fmt not in self.formats:
                self.formats[fmt] = 164 + len(self.formats)
            fmt = self.formats[fmt]
        if fmt not in self.xfs:
            self.xfs.append(fmt)
        return self.xfs.index(fmt)

    def sheet_xml(self, rows, text_style=None):
        excel = self.layout == "excel"
        out = []
        for r, row in enumerate(rows):
            if row is None:
                continue  # a blank row is simply not written
            cells = []
            for c, v in enumerate(row):
                ref = '%s%d' % (col_name(c), r + 1)
                if v is None:
                    continue
                if isinstance(v, Raw):
                    cells.append(v.xml.replace("{r}", ref))
                elif isinstance(v, (str, list)):
                    idx = self.string(v if isinstance(v, str) else tuple(v))
                    s = ' s="%d"' % self.xf(text_style) if text_style is not None else (' s="0"' if not excel else "")
                    cells.append('<c r="%s"%s t="s"><v>%d</v></c>' % (ref, s, idx))
                elif isinstance(v, Date):
                    fmt = v.fmt if v.fmt is not None else (14 if excel else "YYYY\\-MM\\-DD")
                    cells.append('<c r="%s" s="%d"%s><v>%d</v></c>' % (ref, self.xf(fmt), "" if excel else ' t="n"', v.serial(self.date1904)))
                else:
                    cells.append('<c r="%s"%s><v>%s</v></c>' % (ref, "" if excel else ' s="0" t="n"', number_text(v, excel)))
            spans = ' spans="1:%d"' % len(row) if excel else ' customFormat="false" ht="12.8" hidden="false"'
            out.append('<row r="%d"%s>%s</row>' % (r + 1, spans, "".join(cells)))
        return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                '<worksheet xmlns="%s" xmlns:r="%s"><sheetPr filterMode="false"/><sheetViews><sheetView workbookViewId="0"/></sheetViews>'
                '<sheetFormatPr defaultRowHeight="12.8"/><sheetData>%s</sheetData></worksheet>' % (MAIN, REL, "".join(out)))

    def strings_xml(self):
        items = []
        for s in self.strings:
            if isinstance(s, str):
                items.append('<si><t xml:space="preserve">%s</t></si>' % escape(s))
            else:  # rich text: (text, bold) runs and (reading, "rPh") phonetic runs
                parts = []
                for text, kind in s:
                    if kind == "rPh":
                        parts.append('<rPh sb="0" eb="%d"><t>%s</t></rPh>' % (len(text), escape(text)))
                    else:
                        bold = "<b/>" if kind == "b" else ""
                        parts.append('<r><rPr>%s<sz val="11"/><rFont val="宋体"/><family val="3"/><charset val="134"/></rPr><t>%s</t></r>' % (bold, escape(text)))
                if any(k == "rPh" for _, k in s):
                    parts.append('<phoneticPr fontId="1" type="noConversion"/>')
                items.append("<si>%s</si>" % "".join(parts))
        return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<sst xmlns="%s" count="%d" uniqueCount="%d">%s</sst>'
                % (MAIN, len(self.strings), len(self.strings), "".join(items)))

    def styles_xml(self):
        fmts = "".join('<numFmt numFmtId="%d" formatCode=%s/>' % (i, quoteattr(code)) for code, i in self.formats.items())
        xfs = "".join('<xf numFmtId="%d" fontId="0" fillId="0" borderId="0" xfId="0"%s/>' % (f, ' applyNumberFormat="1"' if f else "")
                      for f in self.xfs)
        return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<styleSheet xmlns="%s">'
                '<numFmts count="%d">%s</numFmts><fonts count="1"><font><sz val="11"/><name val="宋体"/></font></fonts>'
                '<fills count="1"><fill><patternFill patternType="none"/></fill></fills><borders count="1"><border/></borders>'
                '<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>'
                '<cellXfs count="%d">%s</cellXfs></styleSheet>' % (MAIN, len(self.formats), fmts, len(self.xfs), xfs))

    def write(self, name, sheets, main_type=WORKBOOK_TYPE, absolute=False, text_style=None):
        """sheets: (sheet name, part file name, rows) in the workbook's order."""
        sheet_parts = [(n, f, self.sheet_xml(rows, text_style)) for n, f, rows in sheets]
        strings, styles = self.strings_xml(), self.styles_xml()
        prefix = "/xl/" if absolute else ""
        rels, entries = [], []
        for i, (n, f, _) in enumerate(sheet_parts):
            rels.append('<Relationship Id="rId%d" Type="%s/worksheet" Target="%sworksheets/%s"/>' % (i + 3, REL, prefix, f))
            entries.append('<sheet name=%s sheetId="%d"%s r:id="rId%d"/>' % (quoteattr(n), i + 1, "" if self.layout == "excel" else ' state="visible"', i + 3))
        rels.append('<Relationship Id="rId1" Type="%s/styles" Target="%sstyles.xml"/>' % (REL, prefix))
        rels.append('<Relationship Id="rId2" Type="%s/sharedStrings" Target="%ssharedStrings.xml"/>' % (REL, prefix))
        pr = '<workbookPr date1904="%s"/>' % ("1" if self.date1904 else "0") if self.layout == "excel" else \
            '<workbookPr backupFile="false" showObjects="all" date1904="%s"/>' % ("true" if self.date1904 else "false")
        app = "" if self.layout == "excel" else '<fileVersion appName="Calc"/>'
        workbook = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<workbook xmlns="%s" xmlns:r="%s">%s%s'
                    '<bookViews><workbookView activeTab="0"/></bookViews><sheets>%s</sheets><calcPr iterateCount="100"/></workbook>'
                    % (MAIN, REL, app, pr, "".join(entries)))
        overrides = "".join('<Override PartName="/xl/worksheets/%s" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>' % f
                            for _, f, _ in sheet_parts)
        types = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                 '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                 '<Default Extension="xml" ContentType="application/xml"/>'
                 '<Override PartName="/xl/workbook.xml" ContentType="%s"/>%s'
                 '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
                 '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
                 '</Types>' % (main_type, overrides))
        root_rels = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Relationships xmlns="%s">'
                     '<Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>' % (PKG_REL, REL))
        with zipfile.ZipFile(os.path.join(OUT, name), "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("[Content_Types].xml", types)
            z.writestr("_rels/.rels", root_rels)
            z.writestr("xl/workbook.xml", workbook)
            z.writestr("xl/_rels/workbook.xml.rels",
                       '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Relationships xmlns="%s">%s</Relationships>' % (PKG_REL, "".join(rels)))
            z.writestr("xl/styles.xml", styles)
            z.writestr("xl/sharedStrings.xml", strings)
            for _, f, xml in sheet_parts:
                z.writestr("xl/worksheets/" + f, xml)


# The sheets of the .xls fixtures (make-fixtures.js), cell for cell.
CUSTOMER_HEADER = ["姓名", "性别", "手机", "座机", "身份证号", "家庭住址", "职业", "银行帐号", "生日", "年收入"]
CUSTOMERS = [
    CUSTOMER_HEADER,
    ["张三", "男", 13800138000, "010-62345678", "110101199003071234", "北京市海淀区中关村大街1号", "职员", "6222020200112233445", Date(1990, 3, 7), 150000],
    ["李四", "女", 13912345678, None, "320102198512250023", "  南京市玄武区  ", None, None, Date(1985, 12, 25), 80000.5],
    ["王小明", "男", 15000000001, "0571-8888999", 110101900307123, "杭州市西湖区", "个体户", "6217000010002000", "1978/6/1", "十万"],
    ["欧阳娜娜", "女", None, None, None, "'", "学生", None, None, None],
]
INVESTORS = [
    ["姓名", "性别", "家庭住址", "手机", "身份证号", "银行账号", "备注"],
    ["孙丽", "女", "成都市锦江区春熙路5号", 18628001234, "510104197001011234", "6228480012345678901", "长期合作"],
    ["周伟", "男", None, 13600000000, None, None, None],
    ["吴芳", "女", "重庆市渝中区", None, "50010319800808002X", "6214830000111122", "  介绍人：孙丽  "],
]
LOOKUP = [["名称", "参数"], ["技术部", 10], ["财务部", None], ["市场部", 0.5]]
GARBAGE = [
    CUSTOMER_HEADER,
    ["郑一", "男", 13700000001, None, "110101199001010011", "天津市和平区", "职员", None, Date(1990, 1, 1), None],
    None,
    ["冯二", "女", 13700000002, None, "110101199202020022", "天津市河西区", "农民", None, "不详", None],
    [None, None, 13700000003, None, None, "地址无人", None, None, None, None],
    ["陈三", "男", 13700000004, None, None, None, None, None, Date(1993, 3, 3), None],
]
ID_AS_NUMBER = [["姓名", "身份证号"], ["褚四", 110101199003071234]]
# A 19-digit bank account typed as a number (make-empty-text.py writes the same sheet as .xls).
ACCOUNT_AS_NUMBER = [["姓名", "银行帐号"], ["卫五", 6217000010001234567]]


def main():
    Book("excel").write("customers.xlsx", [("Sheet1", "sheet1.xml", CUSTOMERS)])
    # The same workbook under an .xls name: its content decides how it is read.
    Book("excel").write("xlsx-named.xls", [("Sheet1", "sheet1.xml", CUSTOMERS)])
    Book("libreoffice").write("investors.xlsx", [("Sheet1", "sheet1.xml", INVESTORS)])
    Book("libreoffice").write("lookup.xlsx", [("Sheet1", "sheet1.xml", LOOKUP)])
    Book("excel").write("garbage.xlsx", [("Sheet1", "sheet1.xml", GARBAGE)])
    Book("excel").write("id-as-number.xlsx", [("Sheet1", "sheet1.xml", ID_AS_NUMBER)])
    Book("excel").write("account-as-number.xlsx", [("Sheet1", "sheet1.xml", ACCOUNT_AS_NUMBER)])

    # The customer list as the program exports it (every cell text), edited in LibreOffice Calc:
    # 李四's mobile changed, a customer added whose mobile and birthday were typed as number and
    # date, and saved as .xlsx.
    exported = [
        ["编号", "姓名", "助记符", "性别", "手机", "座机", "身份证号", "家庭住址", "职业", "银行帐号", "健康状况", "年收入", "资产描述", "生日"],
        ["1", "张三", "ZS", "男", "13800138000", "", "110101199003071234", "北京市海淀区", "职员", "6222020200112233445", "良好", "150000", "", "1990-03-07"],
        ["2", "李四", "LS", "女", "13912340000", "", "320102198512250023", "南京市玄武区", "", "", "", "", "", ""],
        [None, "蒋六", None, "男", 13600001111, None, "110101199505050055", "苏州市姑苏区", "个体户", "6228480000000000017", None, None, None, Date(1995, 5, 5)],
    ]
    # An empty text is no cell at all in the export.
    exported = [[None if v == "" else v for v in row] for row in exported]
    Book("libreoffice").write("exported-customers.xlsx", [("Sheet1", "sheet1.xml", exported)], text_style="@")

    # The first sheet of the workbook is kept in sheet2.xml; targets are absolute.
    Book("excel").write("first-sheet-not-sheet1.xlsx", [
        ("客户", "sheet2.xml", [["姓名", "手机"], ["韩七", 13500000007]]),
        ("说明", "sheet1.xml", [["姓名"], ["不应导入"]]),
    ], absolute=True)

    # Chinese names in rich text (a bold surname) with phonetic runs.
    Book("excel").write("rich-text.xlsx", [("Sheet1", "sheet1.xml", [
        ["姓名", "家庭住址"],
        [[("欧阳", "b"), ("修", ""), ("ōuyáng xiū", "rPh")], [("杭州", ""), ("hángzhōu", "rPh"), ("市", "b")]],
    ])])

    # Inline strings, cells and rows without r, a formula's cached value, a boolean, an error.
    Book("excel").write("inline-strings.xlsx", [("Sheet1", "sheet1.xml", [
        [Raw('<c r="{r}" t="inlineStr"><is><t>姓名</t></is></c>'), Raw('<c t="inlineStr"><is><t>手机</t></is></c>'),
         Raw('<c t="inlineStr"><is><t>备注</t></is></c>'), Raw('<c t="inlineStr"><is><t>参数</t></is></c>')],
        [Raw('<c r="{r}" t="inlineStr"><is><r><t>杨</t></r><r><rPr><b/></rPr><t>八</t></r></is></c>'),
         Raw('<c><f>13900000000+8</f><v>13900000008</v></c>'),
         Raw('<c t="str"><f>"合"&amp;"作"</f><v>合作</v></c>'), Raw('<c t="b"><v>1</v></c>')],
        [Raw('<c r="{r}" t="inlineStr"><is><t>朱九</t></is></c>'), Raw('<c r="D3" t="e"><f>1/0</f><v>#DIV/0!</v></c>')],
    ])])
    # The rows of that sheet also without r: a writer that numbers nothing.
    fix_rows_without_r("inline-strings.xlsx")

    # A workbook of the 1904 date system.
    Book("excel", date1904=True).write("date1904.xlsx", [("Sheet1", "sheet1.xml", [["姓名", "生日"], ["秦十", Date(1990, 3, 7)]])])
    # Chinese built-in date formats (31: yyyy"年"m"月"d"日", 57, 58) and the same as a custom format.
    Book("excel").write("chinese-dates.xlsx", [("Sheet1", "sheet1.xml", [
        ["姓名", "生日"],
        ["尤一", Date(1980, 1, 2, 31)],
        ["许二", Date(1981, 2, 3, 57)],
        ["何三", Date(1982, 3, 4, 58)],
        ["吕四", Date(1983, 4, 5, 'yyyy"年"m"月"d"日";@')],
        ["施五", Date(1984, 5, 6, "[$-804]yyyy/m/d")],
    ])])

    # ZIP files that are no .xlsx.
    Book("excel").write("macro.xlsm", [("Sheet1", "sheet1.xml", [["姓名"], ["张三"]])], main_type=MACRO_TYPE)
    with zipfile.ZipFile(os.path.join(OUT, "sheet.ods"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.spreadsheet", compress_type=zipfile.ZIP_STORED)
        z.writestr("content.xml", '<?xml version="1.0" encoding="UTF-8"?><office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"/>')
        z.writestr("META-INF/manifest.xml", '<?xml version="1.0" encoding="UTF-8"?><manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0"/>')
    with zipfile.ZipFile(os.path.join(OUT, "plain-zip.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("客户.txt", "姓名,手机\n张三,13800138000\n")


def fix_rows_without_r(name):
    path = os.path.join(OUT, name)
    with zipfile.ZipFile(path) as z:
        parts = {n: z.read(n) for n in z.namelist()}
    sheet = parts["xl/worksheets/sheet1.xml"].decode()
    for r in (2, 3):
        sheet = sheet.replace('<row r="%d" spans' % r, '<row spans')
    parts["xl/worksheets/sheet1.xml"] = sheet.encode()
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for n, data in parts.items():
            z.writestr(n, data)


if __name__ == "__main__":
    if len(sys.argv) > 1:
        OUT = sys.argv[1]
    main()
