#include "fake_platform.h"

#include <algorithm>
#include <cstring>

namespace toolrun::testing {
namespace {

FakePlatform* g_current = nullptr;

FakePlatform& F() { return FakePlatform::Current(); }

BOOL Fail(DWORD code) {
  ::SetLastError(code);
  return FALSE;
}

UINT WINAPI MsiGetPropertyW(MSIHANDLE, LPCWSTR name, LPWSTR value, LPDWORD size) {
  const std::wstring text = std::wstring(name) == L"CustomActionData" ? F().data : L"";
  const DWORD room = *size;
  *size = static_cast<DWORD>(text.size());
  if (room <= text.size()) return ERROR_MORE_DATA;
  std::copy(text.begin(), text.end(), value);
  value[text.size()] = L'\0';
  return ERROR_SUCCESS;
}

MSIHANDLE WINAPI MsiCreateRecord(UINT) {
  const MSIHANDLE h = F().nextRecord++;
  F().records[h];
  return h;
}

UINT WINAPI MsiRecordSetStringW(MSIHANDLE record, UINT field, LPCWSTR text) {
  auto it = F().records.find(record);
  if (it == F().records.end()) return ERROR_INVALID_HANDLE;
  it->second[field] = text;
  F().recordStrings.emplace_back(text);
  return ERROR_SUCCESS;
}

UINT WINAPI MsiRecordSetInteger(MSIHANDLE record, UINT field, int value) {
  auto it = F().records.find(record);
  if (it == F().records.end()) return ERROR_INVALID_HANDLE;
  it->second[field] = std::to_wstring(value);
  return ERROR_SUCCESS;
}

// Only the "[1]" template is scripted: the text is field 1 as it stands.
int WINAPI MsiProcessMessage(MSIHANDLE, INSTALLMESSAGE type, MSIHANDLE record) {
  auto it = F().records.find(record);
  if (it == F().records.end()) return -1;
  std::map<UINT, std::wstring>& fields = it->second;
  F().messages.push_back(
      {type, fields[0] == L"[1]" ? fields[1] : L"(template " + fields[0] + L")"});
  const int n = static_cast<int>(F().messages.size());
  return F().cancelAtMessage != 0 && n >= F().cancelAtMessage ? IDCANCEL : IDOK;
}

UINT WINAPI MsiCloseHandle(MSIHANDLE h) {
  return F().records.erase(h) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

BOOL WINAPI CreatePipe(PHANDLE read, PHANDLE write, LPSECURITY_ATTRIBUTES sa, DWORD) {
  if (sa && sa->bInheritHandle) F().startProblem += "pipe made inheritable whole; ";
  const int pipe = static_cast<int>(F().pipes.size());
  F().pipes.emplace_back();
  *read = F().Open(FakePlatform::Kind::kPipeRead, pipe);
  *write = F().Open(FakePlatform::Kind::kPipeWrite, pipe);
  return TRUE;
}

BOOL WINAPI SetHandleInformation(HANDLE h, DWORD mask, DWORD flags) {
  FakePlatform::Object* o = F().Find(h);
  if (!o) return Fail(ERROR_INVALID_HANDLE);
  if (mask & HANDLE_FLAG_INHERIT) o->inheritable = (flags & HANDLE_FLAG_INHERIT) != 0;
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE h, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
  FakePlatform::Object* o = F().Find(h);
  if (!o || o->kind != FakePlatform::Kind::kPipeWrite) return Fail(ERROR_INVALID_HANDLE);
  F().pipes[o->pipe].data.append(static_cast<const char*>(data), size);
  *written = size;
  return TRUE;
}

BOOL WINAPI InitializeProcThreadAttributeList(LPPROC_THREAD_ATTRIBUTE_LIST list, DWORD count, DWORD,
                                              PSIZE_T size) {
  if (count != 1) return Fail(ERROR_INVALID_PARAMETER);
  if (!list || *size < 64) {
    *size = 64;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  ++F().attributeLists;
  return TRUE;
}

BOOL WINAPI UpdateProcThreadAttribute(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR attribute,
                                      PVOID value, SIZE_T size, PVOID, PSIZE_T) {
  if (attribute != PROC_THREAD_ATTRIBUTE_HANDLE_LIST) return Fail(ERROR_NOT_SUPPORTED);
  const HANDLE* handles = static_cast<const HANDLE*>(value);
  F().handleList.assign(handles, handles + size / sizeof(HANDLE));
  return TRUE;
}

void WINAPI DeleteProcThreadAttributeList(LPPROC_THREAD_ATTRIBUTE_LIST) { --F().attributeLists; }

HANDLE WINAPI CreateJobObjectW(LPSECURITY_ATTRIBUTES, LPCWSTR) {
  return F().Open(FakePlatform::Kind::kJob);
}

BOOL WINAPI CreateProcessW(LPCWSTR, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                           LPSECURITY_ATTRIBUTES, BOOL inherit, DWORD flags, LPVOID, LPCWSTR,
                           LPSTARTUPINFOW si, LPPROCESS_INFORMATION pi) {
  FakePlatform& f = F();
  f.commandLine = commandLine;
  if (f.startError) return Fail(f.startError);
  const auto* ex = reinterpret_cast<const STARTUPINFOEXW*>(si);
  std::string& problem = f.startProblem;
  if (!(flags & CREATE_NO_WINDOW)) problem += "no CREATE_NO_WINDOW; ";
  if (!(flags & EXTENDED_STARTUPINFO_PRESENT) || si->cb != sizeof(STARTUPINFOEXW) ||
      !ex->lpAttributeList || f.attributeLists != 1)
    problem += "no handle list; ";
  if (!inherit || !(si->dwFlags & STARTF_USESTDHANDLES)) problem += "no standard handles; ";
  if (si->hStdOutput != si->hStdError) problem += "output and errors apart; ";
  const std::vector<HANDLE> wanted = {si->hStdInput, si->hStdOutput};
  std::vector<HANDLE> listed = f.handleList;
  std::sort(listed.begin(), listed.end());
  std::vector<HANDLE> sorted = wanted;
  std::sort(sorted.begin(), sorted.end());
  if (listed != sorted) problem += "handle list is not the two standard handles; ";
  for (const auto& [h, o] : f.open) {
    const bool child = std::find(wanted.begin(), wanted.end(), h) != wanted.end();
    if (o.inheritable != child) problem += "inheritable handles are not the child's; ";
  }
  FakePlatform::Object* in = f.Find(si->hStdInput);
  FakePlatform::Object* out = f.Find(si->hStdOutput);
  if (!in || in->kind != FakePlatform::Kind::kPipeRead || !out ||
      out->kind != FakePlatform::Kind::kPipeWrite)
    return Fail(ERROR_INVALID_HANDLE);
  f.stdinBytes = f.pipes[in->pipe].data;
  f.stdinClosedAtStart = f.pipes[in->pipe].writers == 0;
  f.outPipe = out->pipe;
  f.started = true;
  if (!(flags & CREATE_SUSPENDED)) {
    f.resumed = true;
    f.startTick = f.now;
  }
  pi->hProcess = f.Open(FakePlatform::Kind::kProcess);
  pi->hThread = f.Open(FakePlatform::Kind::kThread);
  pi->dwProcessId = 1234;
  pi->dwThreadId = 5678;
  return TRUE;
}

BOOL WINAPI AssignProcessToJobObject(HANDLE job, HANDLE process) {
  FakePlatform::Object* j = F().Find(job);
  FakePlatform::Object* p = F().Find(process);
  if (!j || !p || j->kind != FakePlatform::Kind::kJob) return Fail(ERROR_INVALID_HANDLE);
  return TRUE;
}

DWORD WINAPI ResumeThread(HANDLE thread) {
  FakePlatform::Object* t = F().Find(thread);
  if (!t || t->kind != FakePlatform::Kind::kThread) return Fail(ERROR_INVALID_HANDLE), ~DWORD{0};
  if (F().resumed) return 0;
  F().resumed = true;
  F().startTick = F().now;
  return 1;
}

// The output that has arrived by now.
std::string AllArrived(const FakePlatform& f) {
  std::string text;
  for (const Chunk& c : f.output) {
    if (f.resumed && f.now - f.startTick >= c.at && (!f.terminated || c.at < f.terminatedAfter))
      text += c.bytes;
  }
  return text;
}

BOOL WINAPI PeekNamedPipe(HANDLE h, LPVOID, DWORD, LPDWORD, LPDWORD available, LPDWORD) {
  FakePlatform& f = F();
  FakePlatform::Object* o = f.Find(h);
  if (!o || o->kind != FakePlatform::Kind::kPipeRead) return Fail(ERROR_INVALID_HANDLE);
  FakePlatform::Pipe& pipe = f.pipes[o->pipe];
  if (o->pipe == f.outPipe) pipe.data = AllArrived(f);
  // The tool holds its copy of the writing end until it ends.
  const bool writing = pipe.writers > 0 || (o->pipe == f.outPipe && !f.ToolDone());
  *available = static_cast<DWORD>(pipe.data.size() - pipe.read);
  if (*available == 0 && !writing) return Fail(ERROR_BROKEN_PIPE);
  return TRUE;
}

BOOL WINAPI ReadFile(HANDLE h, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED) {
  DWORD available = 0;
  if (!PeekNamedPipe(h, nullptr, 0, nullptr, &available, nullptr)) return FALSE;
  // A pipe without data blocks; the operation must never ask for more.
  if (available == 0) return Fail(ERROR_INVALID_FUNCTION);
  FakePlatform::Pipe& pipe = F().pipes[F().Find(h)->pipe];
  *got = std::min(size, available);
  std::memcpy(buffer, pipe.data.data() + pipe.read, *got);
  pipe.read += *got;
  return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE h, DWORD ms) {
  FakePlatform& f = F();
  FakePlatform::Object* o = f.Find(h);
  if (!o || o->kind != FakePlatform::Kind::kProcess) return Fail(ERROR_INVALID_HANDLE), WAIT_FAILED;
  if (f.ToolDone()) return WAIT_OBJECT_0;
  if (ms == INFINITE) ms = kNever;
  const DWORD ran = f.now - f.startTick;
  if (f.resumed && f.exitAt != kNever && f.exitAt - ran <= ms) {
    f.now += f.exitAt - ran;
    return WAIT_OBJECT_0;
  }
  f.now += ms;
  return WAIT_TIMEOUT;
}

BOOL WINAPI GetExitCodeProcess(HANDLE h, LPDWORD code) {
  FakePlatform::Object* o = F().Find(h);
  if (!o || o->kind != FakePlatform::Kind::kProcess) return Fail(ERROR_INVALID_HANDLE);
  *code = F().terminated ? ERROR_INSTALL_FAILURE : F().Exited() ? F().exitCode : STILL_ACTIVE;
  return TRUE;
}

void Terminate() {
  FakePlatform& f = F();
  if (f.ToolDone()) return;
  f.terminated = true;
  f.terminatedAfter = f.now - f.startTick;
}

BOOL WINAPI TerminateJobObject(HANDLE job, UINT) {
  FakePlatform::Object* j = F().Find(job);
  if (!j || j->kind != FakePlatform::Kind::kJob) return Fail(ERROR_INVALID_HANDLE);
  F().jobTerminated = true;
  Terminate();
  return TRUE;
}

BOOL WINAPI TerminateProcess(HANDLE process, UINT) {
  FakePlatform::Object* p = F().Find(process);
  if (!p || p->kind != FakePlatform::Kind::kProcess) return Fail(ERROR_INVALID_HANDLE);
  Terminate();
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE h) {
  FakePlatform& f = F();
  auto it = f.open.find(h);
  if (it == f.open.end()) return Fail(ERROR_INVALID_HANDLE);
  if (it->second.kind == FakePlatform::Kind::kPipeWrite) --f.pipes[it->second.pipe].writers;
  f.open.erase(it);
  return TRUE;
}

DWORD WINAPI GetTickCount() { return F().now; }

}  // namespace

FakePlatform::FakePlatform()
    : table_{testing::MsiGetPropertyW,
             testing::MsiCreateRecord,
             testing::MsiRecordSetStringW,
             testing::MsiRecordSetInteger,
             testing::MsiProcessMessage,
             testing::MsiCloseHandle,
             testing::CreatePipe,
             testing::SetHandleInformation,
             testing::WriteFile,
             testing::InitializeProcThreadAttributeList,
             testing::UpdateProcThreadAttribute,
             testing::DeleteProcThreadAttributeList,
             testing::CreateJobObjectW,
             testing::CreateProcessW,
             testing::AssignProcessToJobObject,
             testing::ResumeThread,
             testing::PeekNamedPipe,
             testing::ReadFile,
             testing::WaitForSingleObject,
             testing::GetExitCodeProcess,
             testing::TerminateJobObject,
             testing::TerminateProcess,
             testing::CloseHandle,
             testing::GetTickCount,
             ::GetLastError} {
  g_current = this;
}

FakePlatform::~FakePlatform() { g_current = nullptr; }

FakePlatform& FakePlatform::Current() { return *g_current; }

HANDLE FakePlatform::Open(Kind kind, int pipe) {
  const HANDLE h = reinterpret_cast<HANDLE>(nextHandle += 4);
  open[h] = Object{kind, pipe, false};
  return h;
}

FakePlatform::Object* FakePlatform::Find(HANDLE h) {
  auto it = open.find(h);
  return it == open.end() ? nullptr : &it->second;
}

bool FakePlatform::Exited() const {
  return resumed && exitAt != kNever && now - startTick >= exitAt;
}

bool FakePlatform::ToolDone() const { return terminated || Exited(); }

std::wstring FakePlatform::Log() const {
  std::wstring text;
  for (const Message& m : messages) {
    if (m.type == INSTALLMESSAGE_INFO) text += m.text + L"\n";
  }
  return text;
}

::testing::AssertionResult FakePlatform::AllReleased() const {
  if (!open.empty()) return ::testing::AssertionFailure() << open.size() << " handle(s) left open";
  if (!records.empty())
    return ::testing::AssertionFailure() << records.size() << " record(s) left open";
  if (attributeLists != 0) return ::testing::AssertionFailure() << "attribute list not deleted";
  return ::testing::AssertionSuccess();
}

}  // namespace toolrun::testing
