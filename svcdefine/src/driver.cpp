#include <vector>

#include "command_line.h"
#include "messages.h"
#include "operations.h"
#include "profile.h"
#include "report.h"
#include "wt/output.h"

namespace svcdefine {
namespace {

// The INI path made absolute once, so that the existence check and every
// profile read name the same file. (The platform's profile reader would look
// a bare file name up in the Windows directory while the check looked in the
// current one.) 0 or the error code of GetFullPathNameW.
DWORD ResolveFullPath(const Platform& platform, const std::wstring& path, std::wstring* full) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    // Wine fails an empty path without setting the last error; a stale code
    // would name some earlier, unrelated failure.
    SetLastError(ERROR_SUCCESS);
    const DWORD length = platform.GetFullPathNameW(path.c_str(), size, buffer.data(), nullptr);
    if (length == 0) {
      const DWORD error = GetLastError();
      return error != ERROR_SUCCESS ? error : ERROR_INVALID_NAME;
    }
    if (length < size) {  // written, without its terminator
      full->assign(buffer.data(), length);
      return 0;
    }
    buffer.assign(length, L'\0');  // too small: length is the size needed
  }
}

// 0 when fullPath names an existing file, else the code to report with 101.
DWORD CheckIniFile(const Platform& platform, const std::wstring& fullPath) {
  // FindFirstFileW takes "*" and "?" as wildcards and would find some other
  // file; the profile reader would then open a file that does not exist.
  if (fullPath.find_first_of(L"*?") != std::wstring::npos) return ERROR_INVALID_NAME;
  WIN32_FIND_DATAW found;
  const HANDLE search = platform.FindFirstFileW(fullPath.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError();
  platform.FindClose(search);
  // A folder is an existing entry but no INI file: reading it would report a
  // missing ServiceName instead of the real problem.
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_FILE_NOT_FOUND;
  return 0;
}

int DefineFromIni(const Platform& platform, const std::wstring& path) {
  platform.Write(
      wt::FormatW(L"%ls %ls\n", CatalogueText(kProcessingIniFile).c_str(), path.c_str()));
  std::wstring fullPath;
  DWORD error = ResolveFullPath(platform, path, &fullPath);
  if (error == 0) error = CheckIniFile(platform, fullPath);
  if (error != 0) {
    PrintErrorReport(platform, kIniNotFound, error);
    return kIniNotFound;
  }
  ServiceDefinition definition;
  const int readResult = ReadDefinition(PlatformProfile(platform, fullPath), &definition);
  if (readResult != 0) {
    PrintMessage(platform, readResult);
    return readResult;
  }
  return CreateDefinedService(platform, definition);
}

}  // namespace

int Run(const Platform& platform, const std::vector<std::wstring>& args) {
  const Command command = ParseCommandLine(args);
  switch (command.kind) {
    case Command::kDefine:
      return DefineFromIni(platform, command.operand);
    case Command::kRemove:
      return RemoveService(platform, command.operand);
    case Command::kUsage:
      break;
  }
  platform.Write(kUsageText);
  return kUsageExitCode;
}

}  // namespace svcdefine
