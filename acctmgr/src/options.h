// Command-line rules of acctmgr, free of any Windows header.
//
// An option is recognised by its first two characters alone ("-u", "-d",
// "-p", "-s", "-g", "-r"; case-sensitive) and its value is the rest of the
// same argument: "-uJohnDoe" is -u with JohnDoe, "-group" is -g with "roup".
// A value is never taken from the next argument.
#pragma once

#include <cwchar>

namespace acctmgr {

inline bool IsOption(const wchar_t* arg, wchar_t letter) {
  return arg != nullptr && arg[0] == L'-' && arg[1] == letter;
}

// The value of an option recognised by IsOption: the rest of the argument.
inline const wchar_t* OptionValue(const wchar_t* arg) { return arg + 2; }

// The command words, compared whole and case-sensitively.
enum class Command { AddUserRights, CheckPassword, CheckNetworkPassword, CheckGroup, CheckAdmin, Unknown };

inline Command ParseCommand(const wchar_t* word) {
  if (word == nullptr) return Command::Unknown;
  if (std::wcscmp(word, L"-aur") == 0) return Command::AddUserRights;
  if (std::wcscmp(word, L"-cupw") == 0) return Command::CheckPassword;
  if (std::wcscmp(word, L"-cunpw") == 0) return Command::CheckNetworkPassword;
  if (std::wcscmp(word, L"-cug") == 0) return Command::CheckGroup;
  if (std::wcscmp(word, L"-cuadmin") == 0) return Command::CheckAdmin;
  return Command::Unknown;
}

}  // namespace acctmgr
