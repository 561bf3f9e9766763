#include "e2e_support.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "wttest/platform.h"
#include "wttest/process.h"

namespace hostprobe_e2e {

namespace {
const char kPrefix[] = "Java_com_tev_tools_deployjni_hostprobe_HostProbeAPIDef_";
}

Probe::Probe(wttest::JniHost& host) : host_(host) {}

const wttest::JniLibrary& Probe::Library() {
  static wttest::JniLibrary library(wttest::BinaryDirectory() + L"libHostProbe.dll", kPrefix);
  return library;
}

jstring Probe::J(const OptText& s) { return s ? host_.NewJavaString(*s) : nullptr; }

OptText Probe::Text(const char* method) {
  return host_.Text(Library().Call<jstring>(host_, method));
}
jint Probe::Int(const char* method) { return Library().Call<jint>(host_, method); }
jlong Probe::Long(const char* method) { return Library().Call<jlong>(host_, method); }
jint Probe::Int(const char* method, const OptText& a) {
  return Library().Call<jint>(host_, method, J(a));
}
jint Probe::Int(const char* method, const OptText& a, const OptText& b) {
  jstring ja = J(a);
  jstring jb = J(b);
  return Library().Call<jint>(host_, method, ja, jb);
}
jint Probe::MoveFileEx(const OptText& from, const OptText& to, jint flags) {
  jstring ja = J(from);
  jstring jb = J(to);
  return Library().Call<jint>(host_, "MoveFileEx", ja, jb, flags);
}
OptText Probe::GetShortPath(const OptText& path) {
  return host_.Text(Library().Call<jstring>(host_, "GetShortPath", J(path)));
}

TempFolder::TempFolder() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring base(temp, n);
  if (!base.empty() && base.back() == L'\\') base.pop_back();
  path_ = base + L"\\" + wttest::UniqueName(L"hostprobe_");
  CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(L"\\\\?\\" + path_); }

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size();
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(h, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(h);
  return bytes;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}

FileHolder::FileHolder(const std::wstring& path) {
  const std::wstring readyName = wttest::UniqueName(L"hostprobe_ready_");
  const std::wstring releaseName = wttest::UniqueName(L"hostprobe_release_");
  ready_ = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
  release_ = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
  const std::wstring exe = wttest::BuiltProgram(L"wt_holdfile.exe");
  std::wstring cmd = wttest::JoinCommandLine({exe, path, readyName, releaseName});
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!ready_ || !release_ ||
      !CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return;
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  HANDLE waits[] = {ready_, process_};
  holding_ = WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
}

FileHolder::~FileHolder() {
  if (release_) SetEvent(release_);
  if (process_) {
    if (WaitForSingleObject(process_, 30000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
    CloseHandle(process_);
  }
  if (ready_) CloseHandle(ready_);
  if (release_) CloseHandle(release_);
}

std::wstring TestFontSource() {
  wchar_t value[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"WT_TEST_FONT", value, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::wstring();
  std::wstring path(value, n);
  return Exists(path) ? path : std::wstring();
}

namespace {

std::uint32_t Be32(const std::string& b, size_t at) {
  return (std::uint32_t(std::uint8_t(b[at])) << 24) | (std::uint32_t(std::uint8_t(b[at + 1])) << 16) |
         (std::uint32_t(std::uint8_t(b[at + 2])) << 8) | std::uint32_t(std::uint8_t(b[at + 3]));
}

void PutBe32(std::string& b, size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

std::uint32_t TableSum(const std::string& b, size_t at, size_t length) {
  std::uint32_t sum = 0;
  for (size_t i = 0; i < length; i += 4) {
    std::uint32_t word = 0;
    for (size_t k = 0; k < 4; ++k)
      word = (word << 8) | (i + k < length ? std::uint8_t(b[at + i + k]) : 0u);
    sum += word;
  }
  return sum;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
    text.replace(pos, from.size(), to);
}

std::string Utf16Be(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out += '\0';
    out += c;
  }
  return out;
}

}  // namespace

Captured RunCapturingOutput(const std::wstring& program, std::initializer_list<std::wstring> args) {
  std::wstring cmd = wttest::QuoteArgument(program);
  for (const std::wstring& a : args) cmd += L" " + wttest::QuoteArgument(a);
  wttest::ProcessOptions options;
  options.timeoutMs = 120000;
  const wttest::ProcessResult r = wttest::RunProcess(program, cmd, options);
  return Captured{r.started, r.exitCode, r.out + r.err};
}

bool X86EmulatedByQemu() {
  // From inside Wine the emulator cannot be told apart reliably (its binfmt
  // entry is not visible in every mount namespace), so every 32-bit test
  // under Wine counts as emulated.
  return sizeof(void*) == 4 && wttest::RunningUnderWine();
}

bool WriteUniqueTestFont(const std::wstring& path) {
  const std::wstring source = TestFontSource();
  if (source.empty()) return false;
  std::optional<std::string> font = ReadBytes(source);
  if (!font || font->size() < 12) return false;
  std::string& b = *font;
  // A six-letter family of its own in place of the font's "DejaVu" in the
  // name table (same length: no offset moves), with the checksums redone.
  static std::atomic<unsigned> counter{0};
  char tag[8];
  std::snprintf(tag, sizeof tag, "Hp%04X", static_cast<unsigned>((GetCurrentProcessId() * 16 + ++counter) & 0xFFFF));
  const unsigned tables = (std::uint8_t(b[4]) << 8) | std::uint8_t(b[5]);
  size_t headAt = 0;
  bool renamed = false;
  for (unsigned i = 0; i < tables && 12 + 16 * (i + 1) <= b.size(); ++i) {
    const size_t record = 12 + 16 * i;
    const std::string name = b.substr(record, 4);
    const size_t at = Be32(b, record + 8), length = Be32(b, record + 12);
    if (at + length > b.size()) return false;
    if (name == "head") headAt = at;
    if (name != "name") continue;
    std::string table = b.substr(at, length);
    ReplaceAll(table, "DejaVu", tag);
    ReplaceAll(table, Utf16Be("DejaVu"), Utf16Be(tag));
    b.replace(at, length, table);
    PutBe32(b, record + 4, TableSum(b, at, length));
    renamed = true;
  }
  if (!renamed || headAt == 0) return false;
  PutBe32(b, headAt + 8, 0);
  PutBe32(b, headAt + 8, 0xB1B0AFBAu - TableSum(b, 0, b.size()));
  return WriteBytes(path, b);
}

}  // namespace hostprobe_e2e
