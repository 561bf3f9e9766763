#include "e2e_support.h"

#include <regex>

#include "wt/unique.h"
#include "wt/unique_service.h"
#include "wttest/platform.h"
#include "wttest/service.h"

namespace svcctl::e2e {

TestService::TestService(const std::wstring& prefix, const std::wstring& options,
                         const std::wstring& dependsOn)
    : name_(wttest::UniqueName(prefix)), display_(L"WT display " + name_) {
  wttest::RemoveServiceIfPresent(name_);
  wt::UniqueServiceHandle scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!scm) {
    createError_ = GetLastError();
    return;
  }
  const std::wstring binary = wttest::TestServiceCommandLine(options);
  // Dependencies are a double-zero-terminated list.
  std::wstring dependencies = dependsOn.empty() ? std::wstring() : dependsOn + L'\0';
  wt::UniqueServiceHandle service(CreateServiceW(
      scm.get(), name_.c_str(), display_.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
      SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr,
      dependsOn.empty() ? nullptr : dependencies.c_str(), nullptr, nullptr));
  if (!service) createError_ = GetLastError();
}

TestService::~TestService() {
  // A service still starting accepts no stop: let it reach RUNNING first, or
  // the removal would leave it running, marked for deletion.
  if (State() == SERVICE_START_PENDING) wttest::WaitForServiceState(name_, SERVICE_RUNNING, 30000);
  wttest::RemoveServiceIfPresent(name_);
}

bool TestService::StartAndWaitRunning() {
  return wttest::StartTestService(name_) == 0 &&
         wttest::WaitForServiceState(name_, SERVICE_RUNNING, 30000);
}

DWORD TestService::State() const {
  SERVICE_STATUS status = {};
  wttest::WaitForServiceState(name_, 0xFFFFFFFF, 0, &status);
  return status.dwCurrentState;
}

namespace {

// An inheritable handle to a new temporary file, deleted when closed.
wt::UniqueHandle TemporaryFile() {
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t path[MAX_PATH + 1] = {};
  if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"wtc", 0, path)) return {};
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE h =
      CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                  CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  return wt::UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

std::string ReadAll(HANDLE file) {
  std::string bytes;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

}  // namespace

std::wstring Program(const std::wstring& fileName) { return wttest::BuiltProgram(fileName); }

std::wstring X86Program(const std::wstring& fileName) {
  const std::wstring relative = wttest::BinaryDirectory() + L"..\\..\\x86\\bin\\" + fileName;
  wchar_t full[MAX_PATH * 4];
  const DWORD n = GetFullPathNameW(relative.c_str(), MAX_PATH * 4, full, nullptr);
  return n && n < MAX_PATH * 4 ? std::wstring(full, n) : relative;
}

// The tool's streams go to temporary files rather than pipes read by extra
// threads: one thread, and the bytes exactly as the tool wrote them.
wttest::ProcessResult RunTool(const std::wstring& path, std::vector<std::wstring> args,
                              DWORD timeoutMs) {
  wttest::ProcessResult result;
  std::wstring line;
  for (const auto& a : args) line += (line.empty() ? L"" : L" ") + wttest::QuoteArgument(a);
  std::vector<wchar_t> cmd(line.begin(), line.end());
  cmd.push_back(L'\0');

  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  wt::UniqueHandle in(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                  OPEN_EXISTING, 0, nullptr));
  wt::UniqueHandle out = TemporaryFile();
  wt::UniqueHandle err = TemporaryFile();
  if (!out || !err) {
    result.startError = GetLastError();
    return result;
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in.get();
  si.hStdOutput = out.get();
  si.hStdError = err.get();
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(path.c_str(), cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi)) {
    result.startError = GetLastError();
    return result;
  }
  result.started = true;
  wt::UniqueHandle process(pi.hProcess), thread(pi.hThread);
  if (WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
    result.timedOut = true;
    TerminateProcess(process.get(), 0xDEAD);
    WaitForSingleObject(process.get(), 5000);
  }
  GetExitCodeProcess(process.get(), &result.exitCode);
  result.out = ReadAll(out.get());
  result.err = ReadAll(err.get());
  return result;
}

::testing::AssertionResult Matches(const std::string& line, const std::string& pattern) {
  if (std::regex_match(line, std::regex(pattern))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "'" << line << "' does not match /" << pattern << "/";
}

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < out.size()) {
    const size_t end = out.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(out.substr(at));
      break;
    }
    lines.push_back(out.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

}  // namespace svcctl::e2e
