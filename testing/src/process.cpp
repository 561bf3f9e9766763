#include "wttest/process.h"

#include <algorithm>
#include <cwctype>
#include <thread>
#include <vector>

#include "wt/unique.h"

namespace wttest {
namespace {

// Reads a pipe until the writer side is closed.
void Drain(HANDLE pipe, std::string* sink) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    sink->append(buffer, got);
  }
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

struct Pipe {
  wt::UniqueHandle read, write;
};

bool MakePipe(Pipe* p, bool childReads) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE r = nullptr, w = nullptr;
  if (!CreatePipe(&r, &w, &sa, 0)) return false;
  p->read.reset(r);
  p->write.reset(w);
  // Only the child's end is inherited.
  SetHandleInformation(childReads ? w : r, HANDLE_FLAG_INHERIT, 0);
  return true;
}

}  // namespace

ProcessResult RunProcess(const std::wstring& application,
                         const std::wstring& commandLine,
                         const ProcessOptions& options) {
  ProcessResult result;
  Pipe in, out, err;
  if (!MakePipe(&in, true) || !MakePipe(&out, false) || !MakePipe(&err, false)) {
    result.startError = GetLastError();
    return result;
  }

  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in.read.get();
  si.hStdOutput = out.write.get();
  si.hStdError = err.write.get();

  std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back(L'\0');
  std::vector<wchar_t> env = BuildEnvironment(options);
  PROCESS_INFORMATION pi{};
  const BOOL ok = CreateProcessW(
      application.c_str(), cmd.data(), nullptr, nullptr, TRUE,
      CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, env.data(),
      options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(),
      &si, &pi);
  if (!ok) {
    result.startError = GetLastError();
    return result;
  }
  result.started = true;
  wt::UniqueHandle process(pi.hProcess), thread(pi.hThread);

  // The child holds its own copies now; ours must go, or the readers never
  // see the end of the streams.
  in.read.reset();
  out.write.reset();
  err.write.reset();

  std::thread outReader(Drain, out.read.get(), &result.out);
  std::thread errReader(Drain, err.read.get(), &result.err);

  if (!options.input.empty()) {
    DWORD written = 0;
    WriteFile(in.write.get(), options.input.data(),
              static_cast<DWORD>(options.input.size()), &written, nullptr);
  }
  in.write.reset();

  if (WaitForSingleObject(process.get(), options.timeoutMs) != WAIT_OBJECT_0) {
    result.timedOut = true;
    TerminateProcess(process.get(), 0xDEAD);
    WaitForSingleObject(process.get(), 5000);
  }
  outReader.join();
  errReader.join();
  GetExitCodeProcess(process.get(), &result.exitCode);
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
