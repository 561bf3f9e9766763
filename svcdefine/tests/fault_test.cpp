// Every platform call of svcdefine made to fail in turn, on the define and
// the remove form: the exit code must be one the page lists, every handle
// and key must be closed, and what the run leaves must be what the page says
// a failure at that step leaves.
#include "wttest/fault.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "fake_platform.h"
#include "operations.h"

namespace svcdefine {
namespace {

using testing::FakePlatform;
using wttest::fault::FailedOneOf;
using wttest::fault::Fails;
using wttest::fault::State;

wttest::fault::FaultTable<Platform> Faults(const Platform& inner) {
  wttest::fault::FaultTable<Platform> t(inner);
  t.Add<&Platform::GetFullPathNameW>("GetFullPathNameW")
      .Add<&Platform::FindFirstFileW>("FindFirstFileW", Fails::kInvalidHandle)
      .AddRelease<&Platform::FindClose>("FindClose")
      .Add<&Platform::GetPrivateProfileStringW>("GetPrivateProfileStringW")
      .Add<&Platform::GetPrivateProfileIntW>("GetPrivateProfileIntW")
      .Add<&Platform::OpenSCManagerW>("OpenSCManagerW")
      .Add<&Platform::CreateServiceW>("CreateServiceW")
      .Add<&Platform::ChangeServiceConfig2W>("ChangeServiceConfig2W")
      .Add<&Platform::OpenServiceW>("OpenServiceW")
      .Add<&Platform::QueryServiceStatus>("QueryServiceStatus")
      .Add<&Platform::ControlService>("ControlService")
      .Add<&Platform::DeleteService>("DeleteService")
      .AddRelease<&Platform::CloseServiceHandle>("CloseServiceHandle")
      .Add<&Platform::RegOpenKeyExW>("RegOpenKeyExW")
      .Add<&Platform::RegSetValueExW>("RegSetValueExW")
      .AddRelease<&Platform::RegCloseKey>("RegCloseKey")
      .Add<&Platform::Sleep>("Sleep", Fails::kNever)
      .Add<&Platform::Write>("Write", Fails::kNever);
  return t;
}

bool Called(const FakePlatform& fake, const wchar_t* name) {
  return std::find(fake.calls.begin(), fake.calls.end(), name) != fake.calls.end();
}

// The exit code the page gives for each call's failure.
const std::map<std::string, std::set<int>> kMeanings = {
    {"GetFullPathNameW", {101}}, {"FindFirstFileW", {101}},        {"OpenSCManagerW", {501}},
    {"CreateServiceW", {502}},   {"ChangeServiceConfig2W", {503}}, {"RegOpenKeyExW", {401}},
    {"RegSetValueExW", {402}},   {"OpenServiceW", {504}},          {"QueryServiceStatus", {505}},
    {"ControlService", {506}},   {"DeleteService", {508}}};

::testing::AssertionResult Fault(const std::string& what, int exit) {
  return ::testing::AssertionFailure() << what << " (exit " << exit << ")";
}

// svcdefine C:\work\svc.ini with every key, description and WorkDir among them.
::testing::AssertionResult DefineRun() {
  FakePlatform fake;
  fake.files = {L"C:\\work\\svc.ini"};
  fake.ini = {{L"ServiceName", L"Svc"},
              {L"DisplayName", L"The Svc"},
              {L"Description", L"What it does"},
              {L"BinaryPathName", L"C:\\svc.exe"},
              {L"StartType", L"SERVICE_DEMAND_START"},
              {L"AccessChgCfg", L"1"},
              {L"WorkDir", L"C:\\work"}};
  const auto faults = Faults(fake.platform());
  if (!faults.Complete()) return ::testing::AssertionFailure() << "entries missing";
  const int exit = Run(faults, {L"svc.ini"});
  if (!fake.AllReleased()) return Fault("a handle or key left open", exit);
  const std::set<int> listed = {0, 101, 201, 202, 203, 204, 301, 302, 401, 402, 501, 502, 503};
  if (!listed.count(exit)) return Fault("not on the page", exit);
  if (!wttest::fault::Means(kMeanings, exit)) return Fault("does not say what failed", exit);
  if (State().failed && exit == 0 &&
      !FailedOneOf({"FindClose", "CloseServiceHandle", "RegCloseKey", "GetPrivateProfileStringW",
                    "GetPrivateProfileIntW"}))
    return Fault("success after a failure", exit);
  // The service is left only by 503, 401 and 402; the description only
  // when it was set; the value only by a run that ends with 0.
  const bool created = fake.created.has_value();
  if (created != (exit == 0 || exit == 503 || exit == 401 || exit == 402))
    return Fault(created ? "service left" : "service missing", exit);
  if (!fake.valueName.empty() && exit != 0) return Fault("workdir written", exit);
  return ::testing::AssertionSuccess();
}

// svcdefine -remove Svc of a running service that takes a moment to stop.
::testing::AssertionResult RemoveRun() {
  FakePlatform fake;
  fake.queries = {{SERVICE_RUNNING}, {SERVICE_STOP_PENDING, 3000}, {SERVICE_STOPPED}};
  const auto faults = Faults(fake.platform());
  const int exit = Run(faults, {L"-remove", L"Svc"});
  if (!fake.AllReleased()) return Fault("a handle left open", exit);
  const std::set<int> listed = {0, 501, 504, 505, 506, 507, 508};
  if (!listed.count(exit)) return Fault("not on the page", exit);
  if (!wttest::fault::Means(kMeanings, exit)) return Fault("does not say what failed", exit);
  if (State().failed && exit == 0 && !FailedOneOf({"CloseServiceHandle"}))
    return Fault("success after a failure", exit);
  // Deletion is requested after 505, 506 and 507 too.
  const bool deleted = Called(fake, L"DeleteService") && !FailedOneOf({"DeleteService"});
  if (deleted != (exit == 0 || exit == 505 || exit == 506 || exit == 507))
    return Fault(deleted ? "deleted" : "not deleted", exit);
  return ::testing::AssertionSuccess();
}

TEST(SvcdefineFaults, EveryCallOfEveryPathFailsAsThePageSays) {
  wttest::fault::Tally tally("svcdefine");
  tally.Sweep("define", DefineRun);
  tally.Sweep("-remove", RemoveRun);
}

}  // namespace
}  // namespace svcdefine
