#pragma once
// Who is logged in at this workstation: filled by the login, read everywhere for rights, stamps,
// titles and settings.
#include <QString>

extern QString gLoginAccount;     // the account typed at login (journal 操作员)
extern qint32 gCurrentUserId;     // PJ_Admin.编号
extern QString gUserName;         // PJ_Admin.姓名 (操作员, 建档人, 发信人 stamps)
extern QString gCurrentUserRights;  // module rights joined by ","
extern QString gDeptRights;       // department names joined by ","; "0" at login becomes the user's own department
extern QString gUserDept;         // PJ_Admin.科室
extern qint32 gCurrentUserRole;   // 0 普通人员, 1 公司管理员, 2 区域管理员, 3 超级管理员
extern qint32 gUserDeptId;        // PJ_Admin.对应科室ID (科室ID stamps)
extern QString gUnitName;         // PJ_Jq.单位名称 of this workstation
extern QString gBookStartDate;    // PJ_Jq.建账日期 of this workstation

// Empties the login state (before a new login).
void ClearLoginState();
