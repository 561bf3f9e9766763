// Every platform call of RunTool made to fail in turn, on its main paths: a
// result the page gives for that failure, every handle, record and list
// released, no tool left running, and the failed call's code in the log.
#include "wttest/fault.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "run_tool.h"
#include "wt/output.h"
#include "wttest/platform.h"

namespace toolrun {
namespace {

using testing::FakePlatform;
using wttest::fault::Fails;
using wttest::fault::Page;

wttest::fault::FaultTable<Platform> Faults(const Platform& inner) {
  wttest::fault::FaultTable<Platform> t(inner);
  WT_FAULT_ENTRIES(t, Platform, Fails::kStatus, MsiGetPropertyW, MsiRecordSetStringW,
                   MsiRecordSetInteger)
  WT_FAULT_ENTRIES(t, Platform, Fails::kByType, MsiCreateRecord, CreatePipe, SetHandleInformation,
                   WriteFile, InitializeProcThreadAttributeList, UpdateProcThreadAttribute,
                   CreateJobObjectW, CreateProcessW, AssignProcessToJobObject, PeekNamedPipe,
                   ReadFile, GetExitCodeProcess, TerminateJobObject, TerminateProcess)
  // An error result of MsiProcessMessage is -1; ResumeThread and
  // WaitForSingleObject report failure with all bits set.
  WT_FAULT_ENTRIES(t, Platform, Fails::kAllOnes, MsiProcessMessage, ResumeThread,
                   WaitForSingleObject)
  WT_FAULT_RELEASES(t, Platform, Fails::kStatus, MsiCloseHandle)
  WT_FAULT_RELEASES(t, Platform, Fails::kByType, CloseHandle)
  WT_FAULT_ENTRIES(t, Platform, Fails::kNever, DeleteProcThreadAttributeList, GetTickCount)
  t.Add<&Platform::GetLastError>("GetLastError", Fails::kLastError);
  return t;
}

// Releases, a lost log line, and the job (the tool alone is then ended) may
// fail without changing the outcome; everything else ends the action with
// 1603 (a cancel, 1602, is no failure of a call).
const Page kPage = {
    {"1603"},
    nullptr,
    {},
    {"MsiCloseHandle", "CloseHandle", "MsiRecordSetStringW", "MsiRecordSetInteger",
     "MsiProcessMessage", "CreateJobObjectW", "AssignProcessToJobObject", "TerminateJobObject"}};

struct Path {
  const char* name;
  const wchar_t* data;
  std::vector<testing::Chunk> output;
  DWORD exitAt;
  Page page;
};

Page Failing(Page page) {
  page.cleanSucceeds = false;
  return page;
}

const Path kPaths[] = {
    {"success with input and output",
     L"action=A;cmd=x.exe -s;stdin=pw",
     {{0, "line 1\r\r\n"}, {100, "line 2\r\r\n"}},
     200,
     kPage},
    {"time-out", L"timeout=2;cmd=x.exe", {{0, "waiting\r\n"}}, testing::kNever, Failing(kPage)},
};

TEST(ToolrunFaults, EveryCallOfEveryPathFailsAsThePageSays) {
  wttest::fault::Tally tally("toolrun.dll");
  for (const Path& path : kPaths) {
    std::string clean;
    std::wstring cleanEnd;
    tally.Sweep(path.name, [&] {
      FakePlatform fake;
      fake.data = path.data;
      fake.output = path.output;
      fake.exitAt = path.exitAt;
      const UINT result = RunTool(Faults(fake), 1);
      if (!fake.AllReleased()) return fake.AllReleased();
      if (fake.started && !fake.ToolDone())
        return ::testing::AssertionFailure() << "the tool was left running";
      // A failed call that changed how the action ended shows its code in
      // the last line (unless it was the log itself that failed).
      const wttest::fault::Injector& s = wttest::fault::State();
      const std::wstring log = fake.Log();
      const std::wstring end =
          log.empty() ? std::wstring() : log.substr(log.rfind(L'\n', log.size() - 2) + 1);
      if (!s.failed) cleanEnd = end;
      if (s.failed && result == ERROR_INSTALL_FAILURE && !end.empty() && end != cleanEnd &&
          !wttest::fault::FailedOneOf(kPage.passedOver) &&
          end.find(wt::FormatW(L"error %lu", s.code)) == std::wstring::npos)
        return ::testing::AssertionFailure()
               << "no error " << s.code << " in " << wttest::Narrow(end);
      return wttest::fault::Judge(path.page, std::to_string(result), &clean);
    });
  }
}

}  // namespace
}  // namespace toolrun
