#include "wttest/process.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "wt/owned.h"

namespace wttest {
namespace {

// A new temporary file, inheritable, removed when its last handle closes.
// The child writes through its inherited copy of the handle (the same file
// object and file position), so the bytes are read back from the start.
wt::OwnedHandle TemporaryFile() {
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t path[MAX_PATH + 1] = {};
  if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"wtp", 0, path)) {
    return wt::OwnedHandle(::CloseHandle);
  }
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE h = CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  return wt::OwnedHandle(::CloseHandle, h == INVALID_HANDLE_VALUE ? nullptr : h);
}

std::string ReadFromStart(HANDLE file) {
  std::string bytes;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The caller's environment with the options applied, as a block for
// CreateProcessW (sorted is not required; double-NUL terminated).
std::vector<wchar_t> BuildEnvironment(const ProcessOptions& options) {
  std::vector<std::pair<std::wstring, std::wstring>> vars;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
      std::wstring entry(p);
      const size_t eq = entry.find(L'=', 1);  // "=C:=C:\x" entries start with '='
      if (eq == std::wstring::npos) continue;
      vars.emplace_back(entry.substr(0, eq), entry.substr(eq + 1));
    }
    FreeEnvironmentStringsW(block);
  }
  auto drop = [&vars](const std::wstring& name) {
    vars.erase(std::remove_if(vars.begin(), vars.end(),
                              [&](const auto& v) { return SameName(v.first, name); }),
               vars.end());
  };
  for (const auto& name : options.unsetEnv) drop(name);
  for (const auto& kv : options.setEnv) {
    drop(kv.first);
    vars.emplace_back(kv.first, kv.second);
  }
  std::vector<wchar_t> out;
  for (const auto& v : vars) {
    std::wstring entry = v.first + L"=" + v.second;
    out.insert(out.end(), entry.begin(), entry.end());
    out.push_back(L'\0');
  }
  out.push_back(L'\0');
  if (out.size() == 1) out.push_back(L'\0');
  return out;
}

}  // namespace

ProcessResult RunProcess(const std::wstring& application, const std::wstring& commandLine,
                         const ProcessOptions& options) {
  ProcessResult result;
  // Files, not pipes: nothing has to be read while the child runs, so no
  // reader threads (see ArchProgram) and no deadlock on a full pipe.
  wt::OwnedHandle in = TemporaryFile(), out = TemporaryFile(), err = TemporaryFile();
  if (!in || !out || !err) {
    result.startError = GetLastError();
    return result;
  }
  DWORD written = 0;
  if (!options.input.empty()) {
    WriteFile(in.get(), options.input.data(), static_cast<DWORD>(options.input.size()), &written,
              nullptr);
  }
  SetFilePointer(in.get(), 0, nullptr, FILE_BEGIN);

  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in.get();
  si.hStdOutput = out.get();
  si.hStdError = err.get();

  std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back(L'\0');
  std::vector<wchar_t> env = BuildEnvironment(options);
  PROCESS_INFORMATION pi{};
  const BOOL ok = CreateProcessW(
      application.c_str(), cmd.data(), nullptr, nullptr, TRUE,
      CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, env.data(),
      options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(), &si, &pi);
  if (!ok) {
    result.startError = GetLastError();
    return result;
  }
  result.started = true;
  wt::Owned process(::CloseHandle, pi.hProcess), thread(::CloseHandle, pi.hThread);

  if (WaitForSingleObject(process.get(), options.timeoutMs) != WAIT_OBJECT_0) {
    result.timedOut = true;
    TerminateProcess(process.get(), 0xDEAD);
    WaitForSingleObject(process.get(), 5000);
  }
  GetExitCodeProcess(process.get(), &result.exitCode);
  result.out = ReadFromStart(out.get());
  result.err = ReadFromStart(err.get());
  return result;
}

std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

std::wstring JoinCommandLine(std::initializer_list<std::wstring> args) {
  std::wstring line;
  for (const auto& a : args) {
    if (!line.empty()) line.push_back(L' ');
    line += QuoteArgument(a);
  }
  return line;
}

std::wstring BinaryDirectory() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      std::wstring s(path.data(), n);
      return s.substr(0, s.find_last_of(L"\\/") + 1);
    }
    path.resize(path.size() * 2);
  }
}

std::wstring BuiltProgram(const std::wstring& fileName) { return BinaryDirectory() + fileName; }

std::wstring ArchProgram(const std::wstring& arch, const std::wstring& fileName) {
  const std::wstring relative = BinaryDirectory() + L"..\\..\\" + arch + L"\\bin\\" + fileName;
  wchar_t full[MAX_PATH * 4];
  const DWORD n = GetFullPathNameW(relative.c_str(), MAX_PATH * 4, full, nullptr);
  return n && n < MAX_PATH * 4 ? std::wstring(full, n) : relative;
}

}  // namespace wttest
