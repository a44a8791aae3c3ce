#!/usr/bin/env python3
"""Writes the two shipped loan contract templates, template/gr.docx (a person borrows) and
template/gs.docx (a company borrows): plain WordprocessingML with the placeholders the contract
filler replaces. Run from the project folder; the files are committed."""
import os
import sys
import zipfile
from xml.sax.saxutils import escape

W = 'http://schemas.openxmlformats.org/wordprocessingml/2006/main'

CONTENT_TYPES = '''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>
<Override PartName="/word/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml"/>
<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>
<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>
</Types>'''

ROOT_RELS = '''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/>
<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/>
</Relationships>'''

DOC_RELS = '''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>
</Relationships>'''

STYLES = f'''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:styles xmlns:w="{W}">
<w:docDefaults><w:rPrDefault><w:rPr>
<w:rFonts w:ascii="SimSun" w:hAnsi="SimSun" w:eastAsia="SimSun" w:cs="SimSun"/><w:sz w:val="24"/><w:lang w:eastAsia="zh-CN"/>
</w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after="120" w:line="360" w:lineRule="auto"/></w:pPr></w:pPrDefault></w:docDefaults>
<w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/></w:style>
<w:style w:type="paragraph" w:styleId="Title"><w:name w:val="Title"/><w:basedOn w:val="Normal"/>
<w:pPr><w:jc w:val="center"/><w:spacing w:before="240" w:after="360"/></w:pPr><w:rPr><w:b/><w:sz w:val="44"/></w:rPr></w:style>
<w:style w:type="paragraph" w:styleId="Heading2"><w:name w:val="heading 2"/><w:basedOn w:val="Normal"/>
<w:pPr><w:spacing w:before="200"/></w:pPr><w:rPr><w:b/></w:rPr></w:style>
</w:styles>'''

CORE = '''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" xmlns:dc="http://purl.org/dc/elements/1.1/">
<dc:title>借款合同</dc:title></cp:coreProperties>'''

APP = '''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"><Application>vrnJD</Application></Properties>'''


def run(text, bold=False, underline=False):
    props = ''
    if bold or underline:
        props = '<w:rPr>' + ('<w:b/>' if bold else '') + ('<w:u w:val="single"/>' if underline else '') + '</w:rPr>'
    return f'<w:r>{props}<w:t xml:space="preserve">{escape(text)}</w:t></w:r>'


def para(*pieces, style=None, indent=False):
    """A paragraph of pieces: plain text, or (text, 'b') for a bold run, (text, 'u') underlined."""
    ppr = ''
    if style or indent:
        ppr = '<w:pPr>' + (f'<w:pStyle w:val="{style}"/>' if style else '') + ('<w:ind w:firstLine="480"/>' if indent else '') + '</w:pPr>'
    runs = ''.join(run(p) if isinstance(p, str) else run(p[0], bold='b' in p[1], underline='u' in p[1]) for p in pieces)
    return f'<w:p>{ppr}{runs}</w:p>'


def body(company):
    p = [para('借款合同', style='Title'), para('合同编号：________________')]
    p.append(para('甲方（借款人）：', style='Heading2'))
    if company:
        p.append(para('{甲方}$'))
        p.append(para('法定代表人：', ('{法人}', 'u'), '，职务：', ('{职务}', 'u')))
    else:
        p.append(para('{甲方}$'))
    p.append(para('乙方（出借人）：', style='Heading2'))
    p.append(para('{乙方}$'))
    p.append(para('丙方（保证人）：', style='Heading2'))
    p.append(para('{丙方}$'))
    p.append(para('甲、乙、丙三方本着平等自愿、诚实信用的原则，经协商一致，订立本合同，共同遵守。', indent=True))
    p.append(para('第一条  借款金额', style='Heading2'))
    p.append(para('乙方向甲方出借人民币（大写）', ('{大写}$', 'b'), '（小写：', ('{小写}', 'b'), '）。', indent=True))
    p.append(para('第二条  借款期限', style='Heading2'))
    p.append(para('借款期限自', ('{开始}', 'u'), '起至', ('{结束}', 'u'), '止，计息天数共', ('{天数}', 'u'), '天。', indent=True))
    p.append(para('第三条  借款利率与付息方式', style='Heading2'))
    p.append(para('借款利率为', ('{利率}', 'u'), '，付息方式为', ('{付息方式}', 'u'), '。', indent=True))
    p.append(para('第四条  甲方的义务', style='Heading2'))
    if company:
        p.append(para('甲方（', ('{公司}', 'u'), '）应按约定用途使用借款，按期归还本金并支付利息；逾期未还的，按合同约定承担逾期利息。', indent=True))
    else:
        p.append(para('甲方应按约定用途使用借款，按期归还本金并支付利息；逾期未还的，按合同约定承担逾期利息。', indent=True))
    p.append(para('第五条  保证责任', style='Heading2'))
    p.append(para('丙方自愿为甲方的上述借款提供连带责任保证，保证期间为借款期限届满之日起两年。', indent=True))
    p.append(para('第六条  争议解决', style='Heading2'))
    p.append(para('因本合同发生争议的，三方应协商解决；协商不成的，向乙方所在地人民法院提起诉讼。', indent=True))
    p.append(para('第七条  其他', style='Heading2'))
    p.append(para('本合同一式三份，三方各执一份，自三方签字（盖章）之日起生效。', indent=True))
    p.append(para(''))
    p.append(para('甲方（签字/盖章）：____________        乙方（签字）：____________'))
    if company:
        p.append(para('法定代表人（签字）：____________'))
    p.append(para('丙方（签字）：____________'))
    p.append(para('签订日期：', ('{日期}', 'u')))
    sect = ('<w:sectPr><w:pgSz w:w="11906" w:h="16838"/>'
            '<w:pgMar w:top="1440" w:right="1440" w:bottom="1440" w:left="1440" w:header="720" w:footer="720" w:gutter="0"/></w:sectPr>')
    return (f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:document xmlns:w="{W}"><w:body>'
            + ''.join(p) + sect + '</w:body></w:document>')


def write(path, company):
    fixed = (1980, 1, 1, 0, 0, 0)  # a fixed time stamp keeps the files the same from run to run
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        for name, data in [('[Content_Types].xml', CONTENT_TYPES), ('_rels/.rels', ROOT_RELS),
                           ('word/document.xml', body(company)), ('word/_rels/document.xml.rels', DOC_RELS),
                           ('word/styles.xml', STYLES), ('docProps/core.xml', CORE), ('docProps/app.xml', APP)]:
            z.writestr(zipfile.ZipInfo(name, fixed), data.encode('utf-8'), zipfile.ZIP_DEFLATED)


if __name__ == '__main__':
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'template')
    write(os.path.join(out, 'gr.docx'), company=False)
    write(os.path.join(out, 'gs.docx'), company=True)
