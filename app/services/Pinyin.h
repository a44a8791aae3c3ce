#pragma once
// Pinyin initials of names: the mnemonic 助记符 of customers, investors and staff, by
// which the lists search (张三 gives ZS).
#include <QString>

// Fills the two tables. The party and staff windows and the Excel import call it when they load;
// the tables are also filled on first use, so an early GetPinyinInitials is never wrong.
void InitPinyinTables();
// The initials of a text: the initial of every GB2312 character, ASCII letters and digits as they
// are, everything else dropped; upper case.
QString GetPinyinInitials(const QString& text);
// The initial of one character (the first of `ch`): its lower-case letter, "[" from the level-2
// table for a character it gives no letter, or "" for anything outside the two GB2312 levels.
QString PinyinInitialOfChar(const QString& ch);
// The same for a signed code page 936 code (lead << 8 | trail) - 65536, as Gbk::ansiCode gives it.
QString PinyinInitialOfCode(int code);
