// The scripted test service under the real service control manager: what the
// service tools' tests rely on it for.
#include <gtest/gtest.h>

#include "wt/owned.h"
#include "wttest/platform.h"
#include "wttest/service.h"

namespace {

using wttest::ScopedServiceName;

wt::OwnedServiceHandle OpenTestService(const std::wstring& name) {
  wt::Owned scm(::CloseServiceHandle, OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!scm) return wt::OwnedServiceHandle(::CloseServiceHandle);
  return wt::OwnedServiceHandle(::CloseServiceHandle,
                                OpenServiceW(scm.get(), name.c_str(), SERVICE_ALL_ACCESS));
}

// Creates the test service with these options and starts it; an empty
// handle when either step failed.
wt::OwnedServiceHandle CreateAndStart(const std::wstring& name, const std::wstring& options) {
  if (wttest::CreateTestService(name, options) != 0) {
    return wt::OwnedServiceHandle(::CloseServiceHandle);
  }
  auto service = OpenTestService(name);
  if (service && !StartServiceW(service.get(), 0, nullptr)) service.reset();
  return service;
}

// Samples the status while the service is in `state`, collecting checkpoints.
std::vector<DWORD> CheckpointsWhile(SC_HANDLE service, DWORD state, DWORD* waitHint) {
  std::vector<DWORD> seen;
  SERVICE_STATUS s = {};
  const DWORD begin = GetTickCount();
  while (QueryServiceStatus(service, &s) && s.dwCurrentState == state &&
         GetTickCount() - begin < 20000) {
    if (seen.empty() || seen.back() != s.dwCheckPoint) seen.push_back(s.dwCheckPoint);
    *waitHint = s.dwWaitHint;
    Sleep(20);
  }
  return seen;
}

TEST(TestService, StartPendingRaisesCheckpointsThenStopPendingFromTheHandler) {
  ScopedServiceName svc(L"wtTestSvcA");
  auto service = CreateAndStart(svc.name(), L"--start-ms 800 --stop-ms 600 --hint-ms 2500");
  ASSERT_TRUE(service) << GetLastError();

  DWORD hint = 0;
  const auto starting = CheckpointsWhile(service.get(), SERVICE_START_PENDING, &hint);
  ASSERT_FALSE(starting.empty());
  EXPECT_EQ(hint, 2500u);
  EXPECT_GT(starting.back(), starting.front()) << "checkpoint must rise while starting";
  ASSERT_TRUE(wttest::WaitForServiceState(svc.name(), SERVICE_RUNNING, 20000));

  SERVICE_STATUS s = {};
  ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_STOP, &s)) << GetLastError();
  EXPECT_EQ(s.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_EQ(s.dwWaitHint, 2500u);
  ASSERT_TRUE(wttest::WaitForServiceState(svc.name(), SERVICE_STOPPED, 20000, &s));
  EXPECT_EQ(s.dwWin32ExitCode, 0u);
}

TEST(TestService, StalledStartKeepsItsCheckpoint) {
  ScopedServiceName svc(L"wtTestSvcB");
  auto service = CreateAndStart(svc.name(), L"--start-ms 700 --stall-start");
  ASSERT_TRUE(service) << GetLastError();
  DWORD hint = 0;
  const auto starting = CheckpointsWhile(service.get(), SERVICE_START_PENDING, &hint);
  EXPECT_EQ(starting, std::vector<DWORD>{1});
  EXPECT_EQ(hint, 1000u);
  EXPECT_TRUE(wttest::WaitForServiceState(svc.name(), SERVICE_RUNNING, 20000));
}

TEST(TestService, StopsByItselfWithTheScriptedExitCodeAndRefusesStopWhenTold) {
  ScopedServiceName svc(L"wtTestSvcC");
  auto service = CreateAndStart(svc.name(), L"--exit-after-ms 1500 --no-stop --exit-code 42");
  ASSERT_TRUE(service) << GetLastError();
  ASSERT_TRUE(wttest::WaitForServiceState(svc.name(), SERVICE_RUNNING, 20000));

  SERVICE_STATUS s = {};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ControlService(service.get(), SERVICE_CONTROL_STOP, &s));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
  ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, &s)) << GetLastError();
  EXPECT_EQ(s.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

  ASSERT_TRUE(wttest::WaitForServiceState(svc.name(), SERVICE_STOPPED, 20000, &s));
  EXPECT_EQ(s.dwWin32ExitCode, 42u);
}

}  // namespace
