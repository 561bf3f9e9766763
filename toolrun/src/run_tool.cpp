#include "run_tool.h"

#include <algorithm>
#include <string>
#include <vector>

#include "action_data.h"
#include "lines.h"
#include "wt/output.h"
#include "wt/owned.h"
#include "wt/syserror.h"

namespace toolrun {
namespace {

using OwnedHandle = wt::Owned<decltype(&::CloseHandle)>;

constexpr DWORD kReadChunk = 4096;

// "error 2: The system cannot find the file specified.", the system's text
// without its line break.
std::wstring ErrorText(DWORD code) {
  std::wstring text = wt::SystemMessageW(code);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  std::wstring line = wt::FormatW(L"error %lu", code);
  return text.empty() ? line : line + L": " + text;
}

// The tools print through the C runtime, which converts their text to the
// ANSI code page when standard output is a pipe (no console): decode it so.
std::wstring FromAnsi(const std::string& bytes) {
  const int size = static_cast<int>(bytes.size());
  const int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, &text[0], n);
  return text;
}

// The stdin text in the ANSI code page, as the C runtime of the tool reads
// it; false when a character has no place there (a password would then
// arrive changed).
bool ToAnsi(const std::wstring& text, std::string* out) {
  if (text.empty()) return true;
  const UINT cp = ::GetACP();
  const bool plain = cp == CP_UTF8 || cp == CP_UTF7 || cp >= 50220;
  const DWORD flags = cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : plain ? 0 : WC_NO_BEST_FIT_CHARS;
  const int size = static_cast<int>(text.size());
  const int n = ::WideCharToMultiByte(cp, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out->assign(static_cast<size_t>(n), '\0');
  BOOL usedDefault = FALSE;
  ::WideCharToMultiByte(cp, flags, text.data(), size, &(*out)[0], n, nullptr,
                        plain ? nullptr : &usedDefault);
  return !usedDefault;
}

template <typename Text>
void Wipe(Text& text) {
  if (!text.empty()) ::SecureZeroMemory(&text[0], text.size() * sizeof(text[0]));
}

// The action's log: one record whose template is "[1]", so that brackets in
// a tool's words are not taken for property names; field 1 holds the line.
class Log {
 public:
  Log(const Platform& p, MSIHANDLE install)
      : p_(p), install_(install), record_(p.MsiCloseHandle, p.MsiCreateRecord(1)) {
    if (record_ && p_.MsiRecordSetStringW(record_.get(), 0, L"[1]") != ERROR_SUCCESS)
      record_.reset();
  }
  bool ready() const { return static_cast<bool>(record_); }

  // "<action>: <text>" as an information message, and with progress also
  // as action data (the progress dialog's line). False when the
  // installation has been cancelled.
  bool Line(const std::wstring& text, bool progress = false) {
    const std::wstring line = action + L": " + text;
    if (p_.MsiRecordSetStringW(record_.get(), 1, line.c_str()) != ERROR_SUCCESS) return true;
    bool going = p_.MsiProcessMessage(install_, INSTALLMESSAGE_INFO, record_.get()) != IDCANCEL;
    if (progress)
      going &= p_.MsiProcessMessage(install_, INSTALLMESSAGE_ACTIONDATA, record_.get()) != IDCANCEL;
    return going;
  }

  // A progress message that moves nothing: the installer's answer says
  // whether the user has cancelled while the tool prints nothing. False
  // when cancelled.
  bool StillWanted() {
    if (!progress_) {
      progress_.reset(p_.MsiCreateRecord(2));
      if (!progress_ || p_.MsiRecordSetInteger(progress_.get(), 1, 2) != ERROR_SUCCESS ||
          p_.MsiRecordSetInteger(progress_.get(), 2, 0) != ERROR_SUCCESS) {
        progress_.reset();
        return true;
      }
    }
    return p_.MsiProcessMessage(install_, INSTALLMESSAGE_PROGRESS, progress_.get()) != IDCANCEL;
  }

  std::wstring action = kDefaultAction;

 private:
  const Platform& p_;
  MSIHANDLE install_;
  wt::Owned<decltype(&::MsiCloseHandle)> record_;
  wt::Owned<decltype(&::MsiCloseHandle)> progress_{p_.MsiCloseHandle};
};

// CustomActionData, of any length.
UINT ReadActionData(const Platform& p, MSIHANDLE install, std::vector<wchar_t>* data) {
  data->assign(1, L'\0');
  for (;;) {
    DWORD size = static_cast<DWORD>(data->size());
    const UINT rc = p.MsiGetPropertyW(install, L"CustomActionData", data->data(), &size);
    if (rc != ERROR_MORE_DATA) {
      if (rc == ERROR_SUCCESS) data->resize(std::min<size_t>(size, data->size() - 1));
      return rc;
    }
    Wipe(*data);
    data->assign(static_cast<size_t>(size) + 1, L'\0');
  }
}

// One run of the tool, from its pipes to its exit code.
class ToolRun {
 public:
  ToolRun(const Platform& p, const Request& r, Log& log)
      : p_(p),
        r_(r),
        log_(log),
        program_(r.secret || ProgramName(r.command).empty() ? L"the tool" : ProgramName(r.command)),
        inRead_(p.CloseHandle),
        outRead_(p.CloseHandle),
        outWrite_(p.CloseHandle),
        job_(p.CloseHandle),
        process_(p.CloseHandle) {}

  UINT Run(const std::string& input) {
    const std::wstring shown =
        r_.secret ? L"running a secret command line (not logged)" : L"running " + r_.command;
    if (!log_.Line(shown)) {
      log_.Line(L"installation cancelled; the tool is not started");
      return ERROR_INSTALL_USEREXIT;
    }
    if (!Start(input)) return ERROR_INSTALL_FAILURE;
    return Watch();
  }

 private:
  // A failed call: its line (the tool terminated when it runs), the failure.
  UINT Failed(const wchar_t* call, DWORD code) {
    log_.Line(wt::FormatW(L"%ls failed: %ls", call, ErrorText(code).c_str()) + Stop());
    return ERROR_INSTALL_FAILURE;
  }

  bool StartFailed(const wchar_t* call, DWORD code) {
    Failed(call, code);
    return false;
  }

  bool Start(const std::string& input) {
    // Standard input: the text (or nothing) already in its pipe, whose
    // writing end is closed before the tool starts, so the tool reads it
    // and then the end of its input, and a tool that never reads cannot
    // block the write. The pipe's buffer holds the whole text.
    {
      OwnedHandle inWrite(p_.CloseHandle);
      const DWORD buffer = std::max<DWORD>(kReadChunk, static_cast<DWORD>(input.size()));
      if (!p_.CreatePipe(inRead_.put(), inWrite.put(), nullptr, buffer))
        return StartFailed(L"CreatePipe", p_.GetLastError());
      DWORD written = 0;
      if (!input.empty() && !p_.WriteFile(inWrite.get(), input.data(),
                                          static_cast<DWORD>(input.size()), &written, nullptr))
        return StartFailed(L"WriteFile", p_.GetLastError());
    }
    // Standard output and standard error: one pipe, so their order is kept.
    if (!p_.CreatePipe(outRead_.put(), outWrite_.put(), nullptr, 0))
      return StartFailed(L"CreatePipe", p_.GetLastError());
    // Only the tool's two ends are inheritable, and the handle list passes
    // exactly those, whatever else the installer's process holds.
    HANDLE inherited[2] = {inRead_.get(), outWrite_.get()};
    for (HANDLE h : inherited) {
      if (!p_.SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
        return StartFailed(L"SetHandleInformation", p_.GetLastError());
    }
    SIZE_T size = 0;
    // Asked for its size, the call fails with ERROR_INSUFFICIENT_BUFFER.
    const BOOL sized = p_.InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    const DWORD sizing = sized ? ERROR_INVALID_FUNCTION : p_.GetLastError();
    if (sizing != ERROR_INSUFFICIENT_BUFFER)
      return StartFailed(L"InitializeProcThreadAttributeList", sizing);
    std::vector<unsigned char> block(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(block.data());
    if (!p_.InitializeProcThreadAttributeList(list, 1, 0, &size))
      return StartFailed(L"InitializeProcThreadAttributeList", p_.GetLastError());
    wt::Owned attributes(p_.DeleteProcThreadAttributeList, list);
    if (!p_.UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                      sizeof inherited, nullptr, nullptr))
      return StartFailed(L"UpdateProcThreadAttribute", p_.GetLastError());

    // A job, so that a time-out or a cancel ends what the tool started too.
    // Without one (Windows 7 refuses a second job for a process that is in
    // one already) the tool alone is terminated.
    job_.reset(p_.CreateJobObjectW(nullptr, nullptr));

    STARTUPINFOEXW si = {};
    si.StartupInfo.cb = sizeof si;
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    si.StartupInfo.hStdInput = inRead_.get();
    si.StartupInfo.hStdOutput = outWrite_.get();
    si.StartupInfo.hStdError = outWrite_.get();
    si.lpAttributeList = list;
    std::vector<wchar_t> commandLine(r_.command.begin(), r_.command.end());
    commandLine.push_back(L'\0');
    PROCESS_INFORMATION pi = {};
    if (!p_.CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                           CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT,
                           nullptr, nullptr, &si.StartupInfo, &pi)) {
      const DWORD code = p_.GetLastError();
      log_.Line(wt::FormatW(L"cannot start %ls: %ls", program_.c_str(), ErrorText(code).c_str()));
      return false;
    }
    process_.reset(pi.hProcess);
    OwnedHandle thread(p_.CloseHandle, pi.hThread);
    inRead_.reset();
    outWrite_.reset();
    if (job_ && !p_.AssignProcessToJobObject(job_.get(), process_.get())) job_.reset();
    if (p_.ResumeThread(thread.get()) == static_cast<DWORD>(-1))
      return StartFailed(L"ResumeThread", p_.GetLastError());
    return true;
  }

  // Ends the tool (and its job) if it runs: the tail of the line that
  // reports why.
  std::wstring Stop() {
    if (!process_ || exited_) return std::wstring();
    BOOL done = job_ && p_.TerminateJobObject(job_.get(), ERROR_INSTALL_FAILURE);
    if (!done) done = p_.TerminateProcess(process_.get(), ERROR_INSTALL_FAILURE);
    if (!done) {
      const DWORD code = p_.GetLastError();
      return wt::FormatW(L"; %ls could not be terminated: %ls", program_.c_str(),
                         ErrorText(code).c_str());
    }
    exited_ = true;
    p_.WaitForSingleObject(process_.get(), kTerminateWaitMs);
    return L"; " + program_ + L" terminated";
  }

  bool LogLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      if (!log_.Line(FromAnsi(line), true)) return false;
    }
    return true;
  }

  enum class Step { kData, kNone, kClosed, kFailed, kCancelled };

  // Reads what the pipe holds (one chunk at most), without waiting.
  Step ReadSome() {
    DWORD available = 0;
    const wchar_t* call = L"PeekNamedPipe";
    if (p_.PeekNamedPipe(outRead_.get(), nullptr, 0, nullptr, &available, nullptr)) {
      if (available == 0) return Step::kNone;
      char buffer[kReadChunk];
      DWORD got = 0;
      call = L"ReadFile";
      if (p_.ReadFile(outRead_.get(), buffer, std::min(available, kReadChunk), &got, nullptr)) {
        std::vector<std::string> lines;
        splitter_.Feed(std::string_view(buffer, got), &lines);
        return LogLines(lines) ? Step::kData : Step::kCancelled;
      }
    }
    failedCode_ = p_.GetLastError();
    failedCall_ = call;
    // Every writing end is closed: the tool (and whatever inherited its
    // output) is done printing.
    return failedCode_ == ERROR_BROKEN_PIPE ? Step::kClosed : Step::kFailed;
  }

  UINT Cancelled() {
    log_.Line(L"installation cancelled" + Stop());
    return ERROR_INSTALL_USEREXIT;
  }

  // Reads the tool's output until it has exited and the pipe is empty; the
  // pipe is polled, so a silent tool never blocks the installer and a full
  // pipe is always emptied.
  UINT Watch() {
    const DWORD start = p_.GetTickCount();
    const DWORD limit = r_.timeoutSeconds * 1000;
    DWORD asked = 0;
    bool open = true;
    for (;;) {
      const Step step = open ? ReadSome() : Step::kClosed;
      if (step == Step::kFailed) return Failed(failedCall_, failedCode_);
      if (step == Step::kCancelled) return Cancelled();
      open = step != Step::kClosed;
      if (exited_ && step != Step::kData) break;
      const DWORD elapsed = p_.GetTickCount() - start;
      if (elapsed >= limit) {
        std::vector<std::string> last;
        splitter_.Finish(&last);
        LogLines(last);
        log_.Line(wt::FormatW(L"%ls still running after %lu seconds", program_.c_str(),
                              static_cast<unsigned long>(r_.timeoutSeconds)) +
                  Stop());
        return ERROR_INSTALL_FAILURE;
      }
      if (elapsed - asked >= kAskMs) {
        asked = elapsed;
        if (!log_.StillWanted()) return Cancelled();
      }
      if (!exited_) {
        const DWORD wait = step == Step::kData ? 0 : std::min(kPollMs, limit - elapsed);
        const DWORD result = p_.WaitForSingleObject(process_.get(), wait);
        if (result == WAIT_FAILED) return Failed(L"WaitForSingleObject", p_.GetLastError());
        exited_ = result == WAIT_OBJECT_0;
      }
    }
    std::vector<std::string> last;
    splitter_.Finish(&last);
    if (!LogLines(last)) return Cancelled();
    DWORD code = 0;
    if (!p_.GetExitCodeProcess(process_.get(), &code))
      return Failed(L"GetExitCodeProcess", p_.GetLastError());
    const bool success = IsSuccessCode(r_, code);
    std::wstring line = wt::FormatW(L"%ls exited with code %lu", program_.c_str(), code);
    if (!success) line += L", which is not a success code (" + CodeList(r_.codes) + L")";
    if (!log_.Line(line)) return ERROR_INSTALL_USEREXIT;
    return success ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
  }

  const Platform& p_;
  const Request& r_;
  Log& log_;
  const std::wstring program_;
  OwnedHandle inRead_;
  OwnedHandle outRead_;
  OwnedHandle outWrite_;
  OwnedHandle job_;
  OwnedHandle process_;
  bool exited_ = false;
  LineSplitter splitter_;
  const wchar_t* failedCall_ = L"";
  DWORD failedCode_ = 0;
};

}  // namespace

UINT RunTool(const Platform& p, MSIHANDLE install) {
  Log log(p, install);
  // Without a record nothing can be logged, and nothing is run unlogged.
  if (!log.ready()) return ERROR_INSTALL_FAILURE;
  std::vector<wchar_t> data;
  const UINT got = ReadActionData(p, install, &data);
  if (got != ERROR_SUCCESS) {
    log.Line(wt::FormatW(L"cannot read CustomActionData: %ls", ErrorText(got).c_str()));
    return ERROR_INSTALL_FAILURE;
  }
  Parsed parsed = ParseActionData(std::wstring_view(data.data(), data.size()));
  Wipe(data);
  Request& request = parsed.request;
  log.action = request.action;
  std::string input;
  if (parsed.error.empty() && request.hasStdin) {
    request.stdinText += L"\r\n";
    if (!ToAnsi(request.stdinText, &input))
      parsed.error = L"the stdin= text has a character that the system's ANSI code page lacks";
  }
  Wipe(request.stdinText);
  UINT result = ERROR_INSTALL_FAILURE;
  if (!parsed.error.empty()) {
    log.Line(L"invalid CustomActionData: " + parsed.error + L"; the tool is not started");
  } else {
    result = ToolRun(p, request, log).Run(input);
  }
  Wipe(input);
  return result;
}

}  // namespace toolrun
