// Every platform call of svcdefine made to fail in turn, on the define and
// the remove form: an exit code the page gives for that failure, every
// handle and key closed, and the service left as the page says that failure
// leaves it.
#include "wttest/fault.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fake_platform.h"
#include "operations.h"

namespace svcdefine {
namespace {

using testing::FakePlatform;
using wttest::fault::Fails;
using wttest::fault::Page;

wttest::fault::FaultTable<Platform> Faults(const Platform& inner) {
  wttest::fault::FaultTable<Platform> t(inner);
  WT_FAULT_ENTRIES(t, Platform, Fails::kByType, GetFullPathNameW, GetPrivateProfileStringW,
                   GetPrivateProfileIntW, OpenSCManagerW, CreateServiceW, ChangeServiceConfig2W,
                   OpenServiceW, QueryServiceStatus, ControlService, DeleteService, RegOpenKeyExW,
                   RegSetValueExW)
  WT_FAULT_RELEASES(t, Platform, Fails::kByType, FindClose, CloseServiceHandle, RegCloseKey)
  WT_FAULT_ENTRIES(t, Platform, Fails::kNever, Sleep, Write)
  t.Add<&Platform::FindFirstFileW>("FindFirstFileW", Fails::kInvalidHandle);
  return t;
}

// A value the profile reader cannot read counts as absent: it reports no
// failure of its own. The keys are read in the page's order: ServiceName,
// DisplayName, Description, BinaryPathName, Dependencies, StartType,
// ErrorControl, the nine flags, WorkDir, ServiceStartName. The service is
// left by 503, 401 and 402.
const Page kDefine = {"0",
                      {"101", "201", "202", "203", "204", "401", "402", "501", "502", "503"},
                      nullptr,
                      {{"GetFullPathNameW", {"101"}},
                       {"FindFirstFileW", {"101"}},
                       {"GetPrivateProfileStringW#1", {"201"}},
                       {"GetPrivateProfileStringW#2", {"202"}},
                       {"GetPrivateProfileStringW#4", {"203"}},
                       {"GetPrivateProfileStringW#6", {"204"}},
                       {"OpenSCManagerW", {"501"}},
                       {"CreateServiceW", {"502"}},
                       {"ChangeServiceConfig2W", {"503"}},
                       {"RegOpenKeyExW", {"401"}},
                       {"RegSetValueExW", {"402"}}},
                      {"GetPrivateProfileStringW#3", "GetPrivateProfileStringW#5",
                       "GetPrivateProfileStringW#7-9", "GetPrivateProfileIntW#1-9"}};
// Deletion is requested after 505 and 506 too.
const Page kRemove = {"0",
                      {"501", "504", "505", "506", "508"},
                      nullptr,
                      {{"OpenSCManagerW", {"501"}},
                       {"OpenServiceW", {"504"}},
                       {"QueryServiceStatus#1-3", {"505"}},
                       {"ControlService", {"506"}},
                       {"DeleteService", {"508"}}}};

TEST(SvcdefineFaults, EveryCallOfEveryPathFailsAsThePageSays) {
  wttest::fault::Tally tally("svcdefine");
  tally.Sweep("define", [&] {
    FakePlatform fake;
    fake.files = {L"C:\\work\\svc.ini"};
    fake.ini = {{L"ServiceName", L"Svc"},
                {L"DisplayName", L"The Svc"},
                {L"Description", L"What it does"},
                {L"BinaryPathName", L"C:\\svc.exe"},
                {L"StartType", L"SERVICE_DEMAND_START"},
                {L"AccessChgCfg", L"1"},
                {L"WorkDir", L"C:\\work"}};
    const int exit = svcdefine::Run(Faults(fake.platform()), {L"svc.ini"});
    const bool kept = exit == 0 || exit == 503 || exit == 401 || exit == 402;
    if (!fake.AllReleased() || fake.created.has_value() != kept ||
        (!fake.valueName.empty() && exit != 0))
      return ::testing::AssertionFailure() << "left open or changed wrongly, exit " << exit;
    return wttest::fault::Judge(kDefine, std::to_string(exit));
  });
  tally.Sweep("-remove", [&] {
    FakePlatform fake;
    fake.queries = {{SERVICE_RUNNING}, {SERVICE_STOP_PENDING, 3000}, {SERVICE_STOPPED}};
    const int exit = svcdefine::Run(Faults(fake.platform()), {L"-remove", L"Svc"});
    const bool deleted =
        std::count(fake.calls.begin(), fake.calls.end(), std::wstring(L"DeleteService")) > 0;
    if (!fake.AllReleased() || deleted != (exit == 0 || (exit >= 505 && exit <= 507)))
      return ::testing::AssertionFailure() << "left open or deleted wrongly, exit " << exit;
    return wttest::fault::Judge(kRemove, std::to_string(exit));
  });
}

}  // namespace
}  // namespace svcdefine
