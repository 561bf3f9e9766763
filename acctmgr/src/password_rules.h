// Text rules of the password check and the toolkit search, free of any
// Windows header.
#pragma once

#include <cstddef>
#include <cwchar>
#include <string>
#include <string_view>

namespace acctmgr {

// The three forms of a -u value.
enum class UserForm {
  Plain,      // "Userid": the domain comes from -d
  Qualified,  // "Domain\Userid": split at the last backslash
  Principal,  // "userid@domain": logged on whole, with no domain
};

struct UserParts {
  UserForm form = UserForm::Plain;
  size_t domainLength = 0;  // Qualified: characters before the last backslash
  size_t userOffset = 0;    // Qualified: where the user name starts
};

// A backslash decides before an at sign: "DOM\a@b" is user "a@b" in DOM.
inline UserParts SplitUser(std::wstring_view user) {
  UserParts parts;
  const size_t slash = user.rfind(L'\\');
  if (slash != std::wstring_view::npos) {
    parts.form = UserForm::Qualified;
    parts.domainLength = slash;
    parts.userOffset = slash + 1;
  } else if (user.find(L'@') != std::wstring_view::npos) {
    parts.form = UserForm::Principal;
  }
  return parts;
}

// A password line keeps nothing from its last line feed on. A line the
// reader cut at its length limit has none and stays whole.
inline void CutAtLastLineFeed(wchar_t* text) {
  if (wchar_t* feed = std::wcsrchr(text, L'\n')) *feed = L'\0';
}

// Calls visit(element) for each element of a ";"-separated list, skipping
// empty ones, until visit returns true. Returns whether one did.
template <typename Visit>
bool ForEachListElement(std::wstring_view list, Visit visit) {
  while (!list.empty()) {
    const size_t end = list.find(L';');
    const std::wstring_view element = list.substr(0, end);
    if (!element.empty() && visit(element)) return true;
    if (end == std::wstring_view::npos) break;
    list.remove_prefix(end + 1);
  }
  return false;
}

// A system text formatted on one line ends in ". " (the period, then the
// blank that replaced the line break): both are dropped, so ":  " and a path
// can follow. Returns the length to keep.
inline size_t TrimSystemText(std::string_view text) {
  if (text.size() >= 2 && text[text.size() - 2] == '.') return text.size() - 2;
  return text.size();
}

// The new toolkit search path: the old value and ";" when there is one, then
// the installation's toolkit folder. Empty when the whole would not fit
// `capacity` characters with its terminator: the value is refused, never cut.
inline std::wstring ComposeSearchPath(std::wstring_view old, std::wstring_view root,
                                      size_t capacity) {
  std::wstring value;
  if (!old.empty()) {
    value.append(old);
    value.push_back(L';');
  }
  value.append(root);
  value.append(L"\\core\\tevext");
  if (value.size() + 1 > capacity) value.clear();
  return value;
}

}  // namespace acctmgr
