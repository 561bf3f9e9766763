#include "fake_platform.h"

#include <map>

#include "operations.h"

namespace acctmgr_test {
namespace {

Script* g = nullptr;
std::set<void*> g_blocks;                  // LocalAlloc'd by the code under test
std::map<void*, std::vector<BYTE>> g_net;  // network buffers handed out
std::vector<std::vector<BYTE>> g_sids;     // identifiers handed out
std::vector<std::vector<BYTE>> g_tokenBufs;
const HANDLE kThreadToken = reinterpret_cast<HANDLE>(0x7001);
const HANDLE kProcessToken = reinterpret_cast<HANDLE>(0x7002);
const LSA_HANDLE kPolicy = reinterpret_cast<LSA_HANDLE>(0x7003);
const HANDLE kLogonToken = reinterpret_cast<HANDLE>(0x7004);
const HKEY kVersionKey = reinterpret_cast<HKEY>(0x7005);
const HKEY kInstallKey = reinterpret_cast<HKEY>(0x7006);
std::vector<BYTE> g_userSid;          // the logged-on account's identifier
const wchar_t* g_password = nullptr;  // as the logon saw it

void WriteWide(acctmgr::Stream s, std::wstring_view text) {
  (s == acctmgr::Stream::Out ? g->out : g->err).append(text);
}

void WriteNarrow(acctmgr::Stream s, std::string_view text) {
  std::wstring& sink = s == acctmgr::Stream::Out ? g->out : g->err;
  for (char c : text) sink.push_back(static_cast<unsigned char>(c));
}

DWORD WINAPI GetEnv(LPCWSTR name, LPWSTR buffer, DWORD size) {
  if (std::wstring(name) == L"ACCTMGR_VERBOSE" && g->verboseVariable && size > 1) {
    buffer[0] = L'1';
    buffer[1] = L'\0';
    return 1;
  }
  const auto found = g->env.find(name);
  if (found == g->env.end() || found->second.empty()) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  const std::wstring& value = found->second;
  if (size <= value.size()) return static_cast<DWORD>(value.size() + 1);
  value.copy(buffer, value.size());
  buffer[value.size()] = L'\0';
  return static_cast<DWORD>(value.size());
}

DWORD WINAPI GetEnvA(LPCSTR, LPSTR, DWORD) {
  SetLastError(ERROR_ENVVAR_NOT_FOUND);
  return 0;
}

BOOL WINAPI SetEnv(LPCWSTR name, LPCWSTR value) {
  if (g->setEnvError) {
    SetLastError(g->setEnvError);
    return FALSE;
  }
  g->env[name] = value ? value : L"";
  return TRUE;
}

DWORD WINAPI ModuleName(HMODULE, LPWSTR buffer, DWORD size) {
  return static_cast<DWORD>(std::wstring(L"C:\\nowhere\\acctmgr.exe").copy(buffer, size));
}

// fgetws: up to count - 1 characters, the line feed included when it fits.
bool ReadLine(wchar_t* buffer, int count) {
  if (g->inputRead >= g->input.size()) return false;
  size_t n = 0;
  while (n + 1 < static_cast<size_t>(count) && g->inputRead < g->input.size()) {
    buffer[n] = g->input[g->inputRead++];
    if (buffer[n++] == L'\n') break;
  }
  buffer[n] = L'\0';
  return true;
}

BOOL WINAPI Logon(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD type, DWORD provider,
                  PHANDLE token) {
  ++g->logonCalls;
  g->logonUser = user;
  g->logonDomain = domain ? domain : L"(null)";
  g->logonPassword = password ? password : L"(null)";
  g_password = password;
  g->logonType = type;
  *token = nullptr;
  if (provider != LOGON32_PROVIDER_DEFAULT || g->logonError) {
    SetLastError(g->logonError ? g->logonError : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *token = kLogonToken;
  ++g->heldTokens;
  return TRUE;
}

BOOL WINAPI SearchMode(DWORD flags) {
  g->searchPathMode = flags;
  return TRUE;
}

BOOL WINAPI DllDirectory(LPCWSTR folder) {
  g->dllDirectory = folder ? folder : L"(null)";
  return TRUE;
}

// The real search and loads, booked.
void BookLoad() {
  ++g->libraryLoads;
  if (g->searchPathMode == 0 || g->dllDirectory != L"") ++g->unsafeLoads;
}
DWORD WINAPI SearchFile(LPCWSTR path, LPCWSTR name, LPCWSTR ext, DWORD size, LPWSTR buffer,
                        LPWSTR* part) {
  BookLoad();
  return ::SearchPathW(path, name, ext, size, buffer, part);
}
HMODULE WINAPI Load(LPCWSTR name) {
  BookLoad();
  return ::LoadLibraryW(name);
}
HMODULE WINAPI LoadEx(LPCWSTR name, HANDLE file, DWORD flags) {
  BookLoad();
  return ::LoadLibraryExW(name, file, flags);
}

LSTATUS WINAPI RegOpen(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key) {
  const std::wstring base = L"SOFTWARE\\TEV Works Inc.\\The TEV System\\";
  *key = nullptr;
  if (root != HKEY_LOCAL_MACHINE || options != 0 || access != KEY_READ)
    return ERROR_INVALID_PARAMETER;
  if (path == base + L"CurrentVersion")
    *key = kVersionKey;
  else if (path == base + g->installVersion)
    *key = kInstallKey;
  else
    return ERROR_FILE_NOT_FOUND;
  ++g->heldKeys;
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQuery(HKEY key, LPCWSTR name, LPDWORD, LPDWORD, LPBYTE data, LPDWORD bytes) {
  std::wstring value;
  if (key == kVersionKey && std::wstring(name) == L"CurrentVersion")
    value = g->installVersion;
  else if (key == kInstallKey && std::wstring(name) == L"DefaultRoot")
    value = g->installRoot;
  else
    return ERROR_FILE_NOT_FOUND;
  const DWORD need = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  if (*bytes < need) {
    *bytes = need;
    return ERROR_MORE_DATA;
  }
  CopyMemory(data, value.c_str(), need);
  *bytes = need;
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegClose(HKEY key) {
  if (key == kVersionKey || key == kInstallKey)
    --g->heldKeys;
  else
    ++g->bookErrors;
  return ERROR_SUCCESS;
}

HLOCAL WINAPI Alloc(UINT flags, SIZE_T bytes) {
  ++g->allocCalls;
  if (g->failAllocCall == g->allocCalls) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HLOCAL p = ::LocalAlloc(flags, bytes);
  g_blocks.insert(p);
  ++g->heldBlocks;
  return p;
}

HLOCAL WINAPI Free(HLOCAL p) {
  // FormatMessageW's own buffers come back here too; only ours are booked.
  if (g_blocks.erase(p)) --g->heldBlocks;
  return ::LocalFree(p);
}

BOOLEAN SEC_ENTRY UserName(EXTENDED_NAME_FORMAT format, LPWSTR buffer, PULONG size) {
  if (format != NameSamCompatible || g->userNameError) {
    SetLastError(g->userNameError ? g->userNameError : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (*size <= g->currentUser.size()) {
    *size = static_cast<ULONG>(g->currentUser.size() + 1);
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  g->currentUser.copy(buffer, g->currentUser.size());
  buffer[g->currentUser.size()] = L'\0';
  *size = static_cast<ULONG>(g->currentUser.size());
  return TRUE;
}

BOOL WINAPI LookupName(LPCWSTR system, LPCWSTR name, PSID sid, LPDWORD sidSize, LPWSTR domain,
                       LPDWORD domainSize, PSID_NAME_USE use) {
  g->lookedUpName = name;
  g->lookupSizesSeen.push_back(*sidSize);
  if (system != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (g->lookupNameError) {
    SetLastError(g->lookupNameError);
    return FALSE;
  }
  if (*sidSize < g->sidBytesNeeded || *domainSize < g->domainCharsNeeded + 1) {
    *sidSize = g->sidBytesNeeded;
    *domainSize = g->domainCharsNeeded + 1;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  // The identifier must land inside the offered block.
  FillMemory(sid, g->sidBytesNeeded, 0x5A);
  domain[0] = L'\0';
  *use = SidTypeUser;
  return TRUE;
}

BOOL WINAPI LookupSid(LPCWSTR, PSID sid, LPWSTR name, LPDWORD nameSize, LPWSTR domain,
                      LPDWORD domainSize, PSID_NAME_USE use) {
  if (!g_userSid.empty() && EqualSid(sid, g_userSid.data())) {
    if (g->lookupUserError || *nameSize < 256 || *domainSize < 256) {
      SetLastError(g->lookupUserError ? g->lookupUserError : ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    lstrcpyW(name, L"bob");
    lstrcpyW(domain, g->accountDomain.c_str());
    *use = SidTypeUser;
    return TRUE;
  }
  if (g->lookupSidError) {
    SetLastError(g->lookupSidError);
    return FALSE;
  }
  if (!IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) {
    SetLastError(ERROR_NONE_MAPPED);
    return FALSE;
  }
  if (*nameSize <= g->adminGroupName.size() || *domainSize < 8) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  g->adminGroupName.copy(name, g->adminGroupName.size());
  name[g->adminGroupName.size()] = L'\0';
  *nameSize = static_cast<DWORD>(g->adminGroupName.size());
  lstrcpyW(domain, L"BUILTIN");
  *domainSize = 7;
  *use = SidTypeAlias;
  return TRUE;
}

// The real conversion, its identifier moved into a block booked as the code's
// own LocalAlloc blocks are.
BOOL WINAPI StringSid(LPCWSTR text, PSID* sid) {
  g->sidStrings.push_back(text);
  PSID real = nullptr;
  if (!::ConvertStringSidToSidW(text, &real)) return FALSE;
  const DWORD bytes = GetLengthSid(real);
  HLOCAL block = ::LocalAlloc(LMEM_FIXED, bytes);
  CopySid(bytes, block, real);
  ::LocalFree(real);
  g_blocks.insert(block);
  ++g->heldBlocks;
  *sid = block;
  return TRUE;
}

NTSTATUS NTAPI OpenPolicy(PLSA_UNICODE_STRING system, PLSA_OBJECT_ATTRIBUTES, ACCESS_MASK access,
                          PLSA_HANDLE handle) {
  g->openPolicyAccess = access;
  if (system != nullptr) return static_cast<NTSTATUS>(0xC000000D);
  if (g->openPolicyStatus) return g->openPolicyStatus;
  *handle = kPolicy;
  ++g->heldPolicies;
  return 0;
}

NTSTATUS NTAPI AddRights(LSA_HANDLE policy, PSID sid, PLSA_UNICODE_STRING rights, ULONG count) {
  ++g->addRightsCalls;
  if (policy != kPolicy) return static_cast<NTSTATUS>(0xC0000008);
  LPWSTR text = nullptr;
  if (IsValidSid(sid) && ::ConvertSidToStringSidW(sid, &text)) {
    g->grantedSid = text;
    ::LocalFree(text);
  }
  for (ULONG i = 0; i < count; ++i) {
    g->grantedRights.emplace_back(rights[i].Buffer, rights[i].Length / sizeof(wchar_t));
    g->grantedMaxLengths.push_back(rights[i].MaximumLength);
  }
  return g->addRightsStatus;
}

NTSTATUS NTAPI ClosePolicy(LSA_HANDLE policy) {
  if (policy == kPolicy)
    --g->heldPolicies;
  else
    ++g->bookErrors;
  return 0;
}

BOOL WINAPI AllocSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD a0, DWORD a1, DWORD a2,
                     DWORD a3, DWORD a4, DWORD a5, DWORD a6, DWORD a7, PSID* sid) {
  if (g->allocateSidError) {
    SetLastError(g->allocateSidError);
    return FALSE;
  }
  PSID real = nullptr;
  if (!::AllocateAndInitializeSid(authority, count, a0, a1, a2, a3, a4, a5, a6, a7, &real))
    return FALSE;
  g_sids.emplace_back(static_cast<BYTE*>(real), static_cast<BYTE*>(real) + GetLengthSid(real));
  ::FreeSid(real);
  *sid = g_sids.back().data();
  ++g->heldSids;
  return TRUE;
}

PVOID WINAPI FreeSidFake(PSID sid) {
  bool known = false;
  for (auto& s : g_sids) known = known || s.data() == sid;
  if (known)
    --g->heldSids;
  else
    ++g->bookErrors;
  return nullptr;
}

// A network buffer: an array of name pointers followed by the names.
LPBYTE NetList(const std::vector<std::wstring>& names) {
  size_t bytes = names.size() * sizeof(LPWSTR);
  for (const auto& n : names) bytes += (n.size() + 1) * sizeof(wchar_t);
  std::vector<BYTE> data(bytes + 16);
  auto* ptrs = reinterpret_cast<LPWSTR*>(data.data());
  auto* text = reinterpret_cast<wchar_t*>(data.data() + names.size() * sizeof(LPWSTR));
  for (size_t i = 0; i < names.size(); ++i) {
    ptrs[i] = text;
    text = std::copy(names[i].begin(), names[i].end(), text);
    *text++ = L'\0';
  }
  LPBYTE key = data.data();
  g_net[key] = std::move(data);
  ++g->heldNetBuffers;
  return key;
}

NET_API_STATUS NET_API_FUNCTION LocalGroups(LPCWSTR server, LPCWSTR user, DWORD level, DWORD flags,
                                            LPBYTE* buffer, DWORD maxLength, LPDWORD read,
                                            LPDWORD total) {
  g->localGroupsUser = user;
  *buffer = nullptr;
  if (server || level != 0 || flags != LG_INCLUDE_INDIRECT || maxLength != MAX_PREFERRED_LENGTH)
    return ERROR_INVALID_PARAMETER;
  if (g->localGroupsStatus == ERROR_MORE_DATA) {  // a partial list comes with it
    *buffer = NetList(g->localGroups);
    *read = static_cast<DWORD>(g->localGroups.size());
    *total = *read + 1;
    return ERROR_MORE_DATA;
  }
  if (g->localGroupsStatus) return g->localGroupsStatus;
  *buffer = NetList(g->localGroups);  // LOCALGROUP_USERS_INFO_0 is one name pointer
  *read = *total = static_cast<DWORD>(g->localGroups.size());
  return NERR_Success;
}

NET_API_STATUS NET_API_FUNCTION Members(LPCWSTR server, LPCWSTR group, DWORD level, LPBYTE* buffer,
                                        DWORD maxLength, LPDWORD read, LPDWORD total,
                                        PDWORD_PTR resume) {
  g->membersGroup = group;
  *buffer = nullptr;
  if (server || level != 3 || maxLength != MAX_PREFERRED_LENGTH || *resume != 0)
    return ERROR_INVALID_PARAMETER;
  if (g->membersStatus) return g->membersStatus;
  *buffer = NetList(g->members);  // LOCALGROUP_MEMBERS_INFO_3 is one name pointer
  *read = *total = static_cast<DWORD>(g->members.size());
  return NERR_Success;
}

NET_API_STATUS NET_API_FUNCTION NetFree(LPVOID buffer) {
  if (g_net.erase(static_cast<LPBYTE>(buffer)))
    --g->heldNetBuffers;
  else
    ++g->bookErrors;
  return NERR_Success;
}

BOOL WINAPI Membership(HANDLE token, PSID sid, PBOOL member) {
  ++g->checkMembershipCalls;
  if (token != nullptr || !IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
      !g->checkMembershipOk) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *member = g->isMember;
  return TRUE;
}

BOOL WINAPI OpenThreadTok(HANDLE, DWORD access, BOOL self, PHANDLE token) {
  if (access != TOKEN_QUERY || !self) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (g->openThreadError) {
    SetLastError(g->openThreadError);
    return FALSE;
  }
  *token = kThreadToken;
  ++g->heldTokens;
  return TRUE;
}

BOOL WINAPI OpenProcessTok(HANDLE, DWORD access, PHANDLE token) {
  if (access != TOKEN_QUERY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (g->openProcessError) {
    SetLastError(g->openProcessError);
    return FALSE;
  }
  *token = kProcessToken;
  ++g->heldTokens;
  return TRUE;
}

// TOKEN_GROUPS for the scripted groups, with real identifiers.
std::vector<BYTE> TokenGroupsBlock() {
  std::vector<std::vector<BYTE>> sids;
  for (const auto& tg : g->tokenGroups) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    std::vector<BYTE> sid(size);
    CreateWellKnownSid(tg.type, nullptr, sid.data(), &size);
    sid.resize(size);
    sids.push_back(sid);
  }
  const size_t head =
      offsetof(TOKEN_GROUPS, Groups) + sizeof(SID_AND_ATTRIBUTES) * (sids.size() + 1);
  size_t bytes = head;
  for (const auto& s : sids) bytes += s.size();
  std::vector<BYTE> block(bytes);
  auto* groups = reinterpret_cast<TOKEN_GROUPS*>(block.data());
  groups->GroupCount = static_cast<DWORD>(sids.size());
  BYTE* at = block.data() + head;
  for (size_t i = 0; i < sids.size(); ++i) {
    std::copy(sids[i].begin(), sids[i].end(), at);
    groups->Groups[i].Sid = at;
    groups->Groups[i].Attributes = g->tokenGroups[i].attributes;
    at += sids[i].size();
  }
  return block;
}

// TOKEN_USER of the logged-on account; its identifier follows the header.
BOOL UserInfo(LPVOID buffer, DWORD length, PDWORD returned) {
  ++g->userQueries;
  if (buffer == nullptr && g_password != nullptr) {
    bool wiped = true;
    for (size_t i = 0; i < g->logonPassword.size(); ++i) wiped = wiped && g_password[i] == 0;
    g->passwordWipedAfterLogon = wiped;
  }
  DWORD sidSize = SECURITY_MAX_SID_SIZE;
  g_userSid.assign(sidSize, 0);
  CreateWellKnownSid(WinLocalServiceSid, nullptr, g_userSid.data(), &sidSize);
  const DWORD size = static_cast<DWORD>(sizeof(TOKEN_USER) + sidSize);
  *returned = size;
  if (buffer == nullptr || length < size) {
    SetLastError(buffer == nullptr ? g->userSizeError : ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (g->readUserError) {
    SetLastError(g->readUserError);
    return FALSE;
  }
  auto* user = static_cast<TOKEN_USER*>(buffer);
  user->User.Sid = user + 1;
  user->User.Attributes = 0;
  CopyMemory(user + 1, g_userSid.data(), sidSize);
  return TRUE;
}

BOOL WINAPI TokenInfo(HANDLE token, TOKEN_INFORMATION_CLASS cls, LPVOID buffer, DWORD length,
                      PDWORD returned) {
  if (token == kLogonToken && cls == TokenUser) return UserInfo(buffer, length, returned);
  if ((token != kThreadToken && token != kProcessToken) || cls != TokenGroups) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::vector<BYTE> block = TokenGroupsBlock();
  if (buffer == nullptr) {
    *returned = static_cast<DWORD>(block.size());
    SetLastError(g->sizeQueryError);
    return FALSE;
  }
  if (g->readGroupsError) {
    SetLastError(g->readGroupsError);
    return FALSE;
  }
  if (length < block.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  // Pointers inside the block must point into the caller's copy.
  CopyMemory(buffer, block.data(), block.size());
  auto* groups = static_cast<TOKEN_GROUPS*>(buffer);
  const BYTE* oldBase = block.data();
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    groups->Groups[i].Sid =
        static_cast<BYTE*>(buffer) + (static_cast<BYTE*>(groups->Groups[i].Sid) - oldBase);
  }
  *returned = static_cast<DWORD>(block.size());
  return TRUE;
}

BOOL WINAPI CloseTok(HANDLE h) {
  if (h == kThreadToken || h == kProcessToken || h == kLogonToken)
    --g->heldTokens;
  else
    ++g->bookErrors;
  return TRUE;
}

}  // namespace

void Use(Script* script) {
  g = script;
  g_blocks.clear();
  g_net.clear();
  g_sids.clear();
  g_userSid.clear();
  g_password = nullptr;
}

const acctmgr::Platform& Platform() {
  static const acctmgr::Platform fake = {
      WriteWide,
      WriteNarrow,
      ::FormatMessageW,
      GetEnv,
      Alloc,
      Free,
      UserName,
      LookupName,
      LookupSid,
      OpenPolicy,
      AddRights,
      ClosePolicy,
      ::LsaNtStatusToWinError,
      AllocSid,
      FreeSidFake,
      StringSid,
      LocalGroups,
      Members,
      NetFree,
      Membership,
      OpenThreadTok,
      OpenProcessTok,
      TokenInfo,
      ::IsWellKnownSid,
      CloseTok,
      Logon,
      ReadLine,
      SearchMode,
      DllDirectory,
      RegOpen,
      RegQuery,
      RegClose,
      GetEnvA,
      SetEnv,
      ModuleName,
      SearchFile,
      Load,
      LoadEx,
      ::GetProcAddress,
      ::FreeLibrary,
      ::FormatMessageA,
      ::WideCharToMultiByte,
      ::MultiByteToWideChar,
  };
  return fake;
}

int RunAcctmgr(Script& script, std::vector<std::wstring> args) {
  Use(&script);
  std::vector<wchar_t*> argv;
  for (auto& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  acctmgr::Context ctx(Platform());
  return acctmgr::Run(ctx, static_cast<int>(args.size()), argv.data());
}

}  // namespace acctmgr_test
