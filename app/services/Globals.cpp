// Program-wide values, each with its starting value.
#include "app/services/BankInfo.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"

QString gLoginAccount;
qint32 gCurrentUserId = 0;
QString gUserName;
QString gCurrentUserRights;
QString gDeptRights;
QString gUserDept;
qint32 gCurrentUserRole = 0;
qint32 gUserDeptId = 0;
QString gUnitName;
QString gBookStartDate;

std::array<QString, kSettingsCapacity> gSystemSettings;
qint16 gSettingCount = 0;

std::array<QVariant, 51> gBankInfo;

void ClearLoginState() {
  gLoginAccount.clear();
  gCurrentUserId = 0;
  gUserName.clear();
  gCurrentUserRights.clear();
  gDeptRights.clear();
  gUserDept.clear();
  gCurrentUserRole = 0;
  gUserDeptId = 0;
  gUnitName.clear();
  gBookStartDate.clear();
}
