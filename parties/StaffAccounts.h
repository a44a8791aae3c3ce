#pragma once
// The rules of staff accounts that do not need a window: which accounts a user may manage, the
// level words and numbers, the preset rights of each level, and how an edited rights list keeps
// the items the editing administrator cannot see.
#include <QString>
#include <QStringList>

#include "app/data/DataAccess.h"

// The system's own administrator account: it can be neither deleted nor locked, and only a super
// administrator may modify it.
inline const QString kReservedAccount = QStringLiteral("超级管理员");

// The level entries in order of their number: 普通账户 0, 公司管理员 1, 区域管理员 2, 超级管理员 3.
QStringList LevelEntries();
// The level entries a user of `role` may give: the first `role` of them (a level below his own).
QStringList LevelEntriesFor(int role);
// The level number of a level text; "普通账户" and any unknown text give 0.
qint16 LevelNumber(const QString& levelText);

// The module-right names in the order the system offers them.
QStringList ModuleRightNames();
// The preset rights list for a level entry, as stored ("a,b,c"); "" for any other text.
QString PresetRights(const QString& levelText);

// The condition (without "where") that limits the staff list to the accounts the logged-in user
// may manage: his own level and below, and for anyone but a super administrator only accounts of
// the departments he holds; ends with the order by 编号. The department names are bound values.
SqlWithParams StaffScopeCondition();

// Whether the logged-in user may manage an account of level `level` in department `dept`.
bool StaffInScope(int level, const QString& dept);

// The rights text to store after an edit: the ticked items in the offered order, then every stored
// item that the list did not offer (the editor does not hold it, so he cannot have meant to take it
// away). Items are matched whole; duplicates are dropped. "," when nothing is left, which grants
// nothing.
QString MergeRights(const QString& stored, const QStringList& offered, const QStringList& ticked);

// The items of a comma list, blanks around them removed, empty items dropped.
QStringList SplitRights(const QString& list);
