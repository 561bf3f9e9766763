// Removal against the scripted service manager, with the virtual clock.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "operations.h"
#include "report.h"
#include "wt/syserror.h"

namespace svcdefine {
namespace {

using testing::FakePlatform;
using Answer = FakePlatform::QueryAnswer;

std::wstring Report(int id, DWORD code) {
  return CatalogueText(id) + L"\n" + wt::SystemMessageW(code);
}

struct RemoveCase {
  const char* what;
  std::vector<Answer> queries;
  DWORD controlError;
  DWORD deleteError;
  int result;
  std::vector<std::wstring> calls;  // between OpenServiceW and the closing
  std::wstring out;
};

TEST(ServiceRemoval, StopsWhenRunningWaitsOnceAndAlwaysTriesTheDeletion) {
  const Answer running{SERVICE_RUNNING, 0, 0};
  const Answer stopped{SERVICE_STOPPED, 0, 0};
  const RemoveCase cases[] = {
      {"already stopped: no stop request, no sleep", {stopped}, 0, 0, 0,
       {L"QueryServiceStatus", L"DeleteService"}, L""},
      {"paused: deleted without a stop request", {{SERVICE_PAUSED, 0, 0}}, 0, 0, 0,
       {L"QueryServiceStatus", L"DeleteService"}, L""},
      {"start pending: deleted without a stop request", {{SERVICE_START_PENDING, 5000, 0}}, 0, 0, 0,
       {L"QueryServiceStatus", L"DeleteService"}, L""},
      {"stops within the first second", {running, stopped, stopped}, 0, 0, 0,
       {L"QueryServiceStatus", L"ControlService", L"Sleep 1000", L"QueryServiceStatus",
        L"QueryServiceStatus", L"DeleteService"}, L""},
      {"stop pending: sleeps its wait hint", {running, {SERVICE_STOP_PENDING, 3000, 0}, stopped},
       0, 0, 0,
       {L"QueryServiceStatus", L"ControlService", L"Sleep 1000", L"QueryServiceStatus",
        L"Sleep 3000", L"QueryServiceStatus", L"DeleteService"}, L""},
      {"wait hint capped at 20 s, still pending: 507 and deleted",
       {running, {SERVICE_STOP_PENDING, 60000, 0}, {SERVICE_STOP_PENDING, 60000, 0}}, 0, 0, 507,
       {L"QueryServiceStatus", L"ControlService", L"Sleep 1000", L"QueryServiceStatus",
        L"Sleep 20000", L"QueryServiceStatus", L"DeleteService"},
       CatalogueText(507) + L"\n"},
      {"wait hint compared unsigned", {running, {SERVICE_STOP_PENDING, 0xFFFFFFFF, 0}, stopped},
       0, 0, 0,
       {L"QueryServiceStatus", L"ControlService", L"Sleep 1000", L"QueryServiceStatus",
        L"Sleep 20000", L"QueryServiceStatus", L"DeleteService"}, L""},
      {"still running after the wait: 507 without a hint sleep", {running, running, running}, 0, 0,
       507,
       {L"QueryServiceStatus", L"ControlService", L"Sleep 1000", L"QueryServiceStatus",
        L"QueryServiceStatus", L"DeleteService"},
       CatalogueText(507) + L"\n"},
      {"stop refused: 506 and deleted", {running}, ERROR_INVALID_SERVICE_CONTROL, 0, 506,
       {L"QueryServiceStatus", L"ControlService", L"DeleteService"},
       Report(506, ERROR_INVALID_SERVICE_CONTROL)},
      {"first query fails: 505 and deleted", {{0, 0, ERROR_ACCESS_DENIED}}, 0, 0, 505,
       {L"QueryServiceStatus", L"DeleteService"}, Report(505, ERROR_ACCESS_DENIED)},
      {"query after the stop fails: 505", {running, {0, 0, ERROR_INVALID_HANDLE}}, 0, 0, 505,
       {L"QueryServiceStatus", L"ControlService", L"Sleep 1000", L"QueryServiceStatus",
        L"DeleteService"},
       Report(505, ERROR_INVALID_HANDLE)},
      {"last query fails: 505", {running, {SERVICE_STOP_PENDING, 10, 0}, {0, 0, ERROR_ACCESS_DENIED}},
       0, 0, 505,
       {L"QueryServiceStatus", L"ControlService", L"Sleep 1000", L"QueryServiceStatus", L"Sleep 10",
        L"QueryServiceStatus", L"DeleteService"},
       Report(505, ERROR_ACCESS_DENIED)},
      {"deletion refused: 508", {stopped}, 0, ERROR_ACCESS_DENIED, 508,
       {L"QueryServiceStatus", L"DeleteService"}, Report(508, ERROR_ACCESS_DENIED)},
      {"deletion refused replaces 507", {running, running, running}, 0,
       ERROR_SERVICE_MARKED_FOR_DELETE, 508,
       {L"QueryServiceStatus", L"ControlService", L"Sleep 1000", L"QueryServiceStatus",
        L"QueryServiceStatus", L"DeleteService"},
       CatalogueText(507) + L"\n" + Report(508, ERROR_SERVICE_MARKED_FOR_DELETE)},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    fake.queries.assign(c.queries.begin(), c.queries.end());
    fake.controlError = c.controlError;
    fake.deleteError = c.deleteError;
    EXPECT_EQ(RemoveService(fake.platform(), L"ExampleSvc"), c.result) << c.what;
    std::vector<std::wstring> calls = {L"OpenSCManagerW", L"OpenServiceW"};
    calls.insert(calls.end(), c.calls.begin(), c.calls.end());
    calls.push_back(L"CloseServiceHandle");
    calls.push_back(L"CloseServiceHandle");
    EXPECT_EQ(fake.calls, calls) << c.what;
    EXPECT_EQ(fake.out, c.out) << c.what;
    EXPECT_TRUE(fake.queries.empty()) << c.what;
    EXPECT_TRUE(fake.AllReleased()) << c.what;
    EXPECT_EQ(fake.openScmAccess, 0xF003Fu);
    EXPECT_EQ(fake.openServiceAccess, 0xF003Fu);
    EXPECT_EQ(fake.openedServiceName, L"ExampleSvc");
  }
}

TEST(ServiceRemoval, UnknownServiceOrManagerFailureStopsEarly) {
  {
    FakePlatform fake;
    fake.openServiceError = ERROR_SERVICE_DOES_NOT_EXIST;
    EXPECT_EQ(RemoveService(fake.platform(), L"Nope"), 504);
    EXPECT_EQ(fake.out, Report(504, ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_TRUE(fake.AllReleased());
  }
  {
    FakePlatform fake;
    fake.openScmError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(RemoveService(fake.platform(), L"Svc"), 501);
    EXPECT_EQ(fake.out, Report(501, ERROR_ACCESS_DENIED));
    EXPECT_EQ(fake.calls, std::vector<std::wstring>{L"OpenSCManagerW"});
  }
}

}  // namespace
}  // namespace svcdefine
