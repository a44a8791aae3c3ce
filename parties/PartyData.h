#pragma once
// What the party lists ask of the database, apart from any window: the list and mnemonic-search
// queries, and whether a party is in business and must not be deleted.
#include <QString>

#include "app/data/DataAccess.h"

enum class PartyKind {
  Person,    // PJ_Kehu: individual customers
  Company,   // PJ_Kehu_Gs: corporate customers
  Investor,  // PJ_Gd: investors
};

// The table that keeps a kind of party.
QString PartyTable(PartyKind kind);

// Whether the names of a lookup list (PJ_Zaxiang.类别) may not hold ",": departments and module
// rights are kept in comma lists on the accounts, where a comma would split one name into two.
// The lookup form and the import apply the same rule.
bool LookupNameRefusesComma(int category);

// The import window's target kind of the table: 4, 5 or 6.
qint16 PartyImportKind(PartyKind kind);

// "select <columns> from <table> order by 编号", or, for a non-empty search text, only the rows
// whose 助记符 contains the text as typed (its "%", "_" and quotes match themselves).
SqlWithParams PartyListSql(const QString& table, const QString& columns, const QString& search);

// Whether a loan or financing record refers to the party:
// - a person who borrowed under a loan of kind "个人" or is an element of any loan's 保证人 list;
// - a company that borrowed under a loan of another kind or is an element of any loan's 担保企业 list;
// - an investor whose key any financing record carries as 客户ID.
bool PartyHasBusiness(PartyKind kind, qint64 id);
