// -cupw and -cunpw: a user name and password are right when a real logon
// with them succeeds; with a named domain the account logged on must also
// belong to that domain.
#include <cstring>

#include "operations.h"
#include "options.h"
#include "password_rules.h"
#include "wt/output.h"

namespace acctmgr {
namespace {

constexpr int kLineChars = 2048;  // a password line: 2047 characters and the terminator

// The copies of a password this check makes: the line read for -s and the
// decoded text. Both are wiped as soon as the logon has used them, and
// again when the check ends, whichever way it ends. A password given with -p
// is left where the system put it.
struct Secrets {
  explicit Secrets(const Platform& p) : plain(p.LocalFree) {}
  ~Secrets() { Wipe(); }  // before plain releases its block
  void Wipe() {
    SecureZeroMemory(line, sizeof line);
    if (plain) SecureZeroMemory(plain.get(), plainBytes);
  }

  wchar_t line[kLineChars] = {};
  OwnedBlock plain;
  size_t plainBytes = 0;
};

// Does the account behind token belong to domain? 0 when it does or when the
// token cannot say (its user information has no size to ask for); -1 after
// printing the mismatch; 1 to 4 when a step fails.
int CheckDomain(Context& ctx, HANDLE token, const wchar_t* domain) {
  const Platform& p = ctx.p;
  // A token that cannot say how large its user is leaves the domain
  // unknown: that is no match, whatever the size query's error was.
  DWORD size = 0;
  if (p.GetTokenInformation(token, TokenUser, nullptr, 0, &size) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return 5;
  }
  OwnedBlock info(p.LocalFree, p.LocalAlloc(LPTR, size));
  if (!info) return 1;
  if (!p.GetTokenInformation(token, TokenUser, info.get(), size, &size)) return 2;

  constexpr DWORD kNameChars = 256;
  OwnedBlock names(p.LocalFree, p.LocalAlloc(LPTR, 2 * kNameChars * sizeof(wchar_t)));
  if (!names) return 3;
  auto* name = static_cast<wchar_t*>(names.get());
  wchar_t* accountDomain = name + kNameChars;
  DWORD nameChars = kNameChars, domainChars = kNameChars;
  SID_NAME_USE use;
  if (!p.LookupAccountSidW(nullptr, static_cast<TOKEN_USER*>(info.get())->User.Sid, name,
                           &nameChars, accountDomain, &domainChars, &use)) {
    return 4;
  }
  // Textual: "CORP" and "corp.example.com" name the same domain but differ.
  if (CompareStringOrdinal(domain, -1, accountDomain, -1, TRUE) == CSTR_EQUAL) return 0;
  p.WriteWide(Stream::Err,
              wt::FormatW(L"Domain not correct.  Searching for %ls, logged on to %ls\n", domain,
                          accountDomain));
  return -1;
}

}  // namespace

int CheckPassword(Context& ctx, int argc, wchar_t** argv, DWORD logonType) {
  const Platform& p = ctx.p;
  if (argc < 3) return kUsage;

  // Every argument is parsed, whatever comes before it: each error prints its
  // line in order, and the last code stands. -s reads its line here.
  Secrets secrets(p);
  const wchar_t* user = nullptr;
  const wchar_t* domain = nullptr;
  wchar_t* password = nullptr;
  int code = kOk;
  for (int i = 2; i < argc; ++i) {
    wchar_t* arg = argv[i];
    if (IsOption(arg, L'd')) {
      domain = OptionValue(arg);
      if (*domain == L'\0') {
        ReportError(ctx, MSG_NEED_DOMAIN);
        code = kMissingValue;
      }
    } else if (IsOption(arg, L'u')) {
      user = OptionValue(arg);
      if (*user == L'\0') {
        ReportError(ctx, MSG_NEED_USER);
        code = kMissingValue;
      }
    } else if (IsOption(arg, L'p')) {
      password = arg + 2;
      if (*password == L'\0') {
        ReportError(ctx, MSG_NEED_PASSWORD);
        code = kMissingValue;
      }
    } else if (IsOption(arg, L's')) {
      // At end of input the password so far stays.
      if (p.ReadLine(secrets.line, kLineChars)) password = secrets.line;
      if (password) CutAtLastLineFeed(password);
    } else {
      code = kUsage;
    }
  }
  if (user == nullptr) return kUsage;

  // "Domain\Userid" brings its own domain, which replaces -d; a user
  // principal name is logged on whole, with no domain and no domain check.
  const UserParts parts = SplitUser(user);
  OwnedBlock domainCopy(p.LocalFree);
  if (parts.form == UserForm::Qualified) {
    domainCopy.reset(p.LocalAlloc(LPTR, (parts.domainLength + 1) * sizeof(wchar_t)));
    if (domainCopy) {
      std::memcpy(domainCopy.get(), user, parts.domainLength * sizeof(wchar_t));
      domain = static_cast<const wchar_t*>(domainCopy.get());
      user += parts.userOffset;
    } else {
      code = kNoMemoryDomain;
    }
  } else if (parts.form == UserForm::Principal) {
    domain = nullptr;
  }
  if (parts.form != UserForm::Principal && domain == nullptr) return kNoDomain;
  if (code != kOk) return code;

  const wchar_t* secret = password;
  if (secret != nullptr && secret[0] == L'{') {
    const int decoded = DecodePassword(ctx, &secret, &secrets.plain, &secrets.plainBytes);
    if (decoded != kOk) return decoded;
  }

  // Without -p and -s the password is null: the check then passes for an
  // account that has no password.
  wt::Owned token(p.CloseHandle);
  const BOOL loggedOn =
      p.LogonUserW(user, domain, secret, logonType, LOGON32_PROVIDER_DEFAULT, token.put());
  const DWORD error = loggedOn ? ERROR_SUCCESS : GetLastError();
  secrets.Wipe();
  if (!loggedOn) {
    token.release();  // a failed logon hands nothing out
    ReportError(ctx, error);
    if (error == ERROR_LOGON_TYPE_NOT_GRANTED) return kLogonTypeNotGranted;
    if (error == ERROR_LOGON_FAILURE) return kLogonFailure;
    return kLogonFailed;
  }
  if (domain != nullptr && *domain != L'\0' && CheckDomain(ctx, token.get(), domain) != 0) {
    return kWrongDomain;
  }
  return kOk;
}

}  // namespace acctmgr
