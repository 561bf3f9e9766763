// The installation lookup of the toolkit loader: the product's registry keys
// name the installation root, whose toolkit folder goes on VQPATH.
#include <string>

#include "password_rules.h"
#include "toolkit.h"

namespace acctmgr {
namespace {

constexpr wchar_t kProductKey[] = L"SOFTWARE\\TEV Works Inc.\\The TEV System\\";
constexpr wchar_t kCurrentVersionKey[] =
    L"SOFTWARE\\TEV Works Inc.\\The TEV System\\CurrentVersion";
constexpr DWORD kValueChars = 1024;  // registry values are read into 2048 bytes
constexpr size_t kSearchPathChars = 1024;

// A registry value read into 1024 characters and terminated; its type is
// not checked.
LSTATUS ReadValue(const Platform& p, HKEY key, const wchar_t* name, std::wstring* text) {
  wchar_t buffer[kValueChars + 1] = {};
  DWORD bytes = kValueChars * sizeof(wchar_t);
  const LSTATUS status =
      p.RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes);
  if (status == ERROR_SUCCESS) *text = buffer;
  return status;
}

}  // namespace

// The version key: when the key of the version text does not exist, the
// text is cut at its last "." and tried again ("7.1.3", then "7.1", then
// "7"), so an installation registered under its major version is found. Any
// other failure ends the lookup at once. An empty version text names the
// product key itself, which is tried like any other.
int LocateInstallation(Context& ctx) {
  const Platform& p = ctx.p;
  std::wstring old;
  ReadVariable(p, L"VQPATH", &old);

  wt::Owned key(p.RegCloseKey, HKEY{});
  LSTATUS status = p.RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_READ, key.put());
  if (status != ERROR_SUCCESS) {
    key.release();
    ReportError(ctx, status);
    return kNoVersionKey;
  }
  std::wstring version;
  status = ReadValue(p, key.get(), L"CurrentVersion", &version);
  if (status != ERROR_SUCCESS) {
    ReportError(ctx, status);
    return kNoVersion;
  }
  key.reset();

  std::wstring tried = version;
  for (;;) {
    status =
        p.RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kProductKey + tried).c_str(), 0, KEY_READ, key.put());
    if (status == ERROR_SUCCESS) break;
    key.release();
    const size_t dot = tried.rfind(L'.');
    if (status != ERROR_FILE_NOT_FOUND || dot == std::wstring::npos) break;
    tried.resize(dot);
  }
  if (status != ERROR_SUCCESS) {
    const wchar_t* args[] = {version.c_str()};
    ReportError(ctx, status, args);
    return kNoInstallKey;
  }
  std::wstring root;
  if (ReadValue(p, key.get(), L"DefaultRoot", &root) != ERROR_SUCCESS) return kNoInstallRoot;
  key.reset();

  // The new value and its terminator must fit 1024 characters: a longer one
  // is refused, never cut, since a cut path would name another folder. Like
  // a failed write of the variable, the refusal prints nothing: 214 says it.
  const std::wstring value = ComposeSearchPath(old, root, kSearchPathChars);
  if (value.empty() || !p.SetEnvironmentVariableW(L"VQPATH", value.c_str())) return kNoSearchPath;
  const wchar_t* args[] = {value.c_str()};
  ShowMessage(ctx, MSG_USING_PRODUCT, args, Stream::Err);
  return kOk;
}

}  // namespace acctmgr
