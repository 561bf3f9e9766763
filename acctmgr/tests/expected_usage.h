// The usage text acctmgr prints, line breaks as FormatMessageW gives them,
// for a given program name. The last entry is stored as "...aware).\r\n\n";
// FormatMessageW turns every bare LF of a text into CR LF (Windows does, and
// Wine with it), so that entry formats as "...aware).\r\n\r\n".
#pragma once

#include <string>

namespace acctmgr_test {

inline std::wstring ExpectedUsage(const std::wstring& program) {
  return program +
         L" [-aur -rUSER_RIGHT_STRING [-rUSER_RIGHT_STRING] [-u[Domain\\]Userid]] ||\r\n"
         L"         [-cupw|-cunpw [-dDomain] -uUserid [-pPassword | -s]]  ||\r\n"
         L"         [-cupw|-cunpw -uDomain\\Userid [-pPassword | -s]]  ||\r\n"
         L"         [-cug -u[Domain\\]UserID [-gGroup]]\r\n"
         L"         [-cuadmin]\r\n"
         L"-aur AddUserRights:\r\n"
         L"   Omitting userid adds rights for current logged on user.\r\n"
         L"   SeBatchLogonRight - (Logon as batch)\r\n"
         L"   SeTcbPrivilege - (Act as part of OS)\r\n"
         L"   SeIncreaseQuotaPrivilege - (Adjust Memory Quotas)\r\n"
         L"   SeAssignPrimaryTokenPrivilege - (Replace process level tokens)\r\n"
         L"   SeLockMemoryPrivilege - (Lock pages in memory)\r\n"
         L"   Note:  Rights are listed in winnt.h and ntsecapi.h\r\n"
         L"-cupw CheckUserPassWord batch OR -cunpw CheckUserNetworkPassWord network:\r\n"
         L"   Omitting password checks for userIDs with no password.\r\n"
         L"-cug CheckUserGroup:\r\n"
         L"   Omitting group checks for userIDs in Administrator group.\r\n"
         L"-cuadmin CheckUserAdmin:\r\n"
         L"   Checks that the current userid is running as Administrator (Vista, Server 2008 aware).\r\n"
         L"\r\n";
}

}  // namespace acctmgr_test
