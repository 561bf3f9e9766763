// svchalt.exe and svcredesc.exe as real processes against the real service
// manager, with the scripted test service.
#include <gtest/gtest.h>

#include <regex>

#include "e2e_support.h"
#include "wt/owned.h"
#include "wttest/platform.h"

namespace svcctl::e2e {
namespace {

using wttest::Narrow;

// The polling lines of a stop: "after N ms" with the service's wait hint
// while it is pending, and 0, 0 once it has stopped.
void ExpectPollLines(const std::vector<std::string>& lines, size_t from, size_t to,
                     const std::string& hint) {
  for (size_t i = from; i < to; ++i) {
    EXPECT_TRUE(
        Matches(lines[i], " 01->:after \\d+ms, checkpoint \\d+ wait hint = (" + hint + "|0)ms"));
  }
}

TEST(SvchaltProgram, StopsARunningServiceFollowingItsWaitHint) {
  TestService svc(L"wtHaltA", L"--stop-ms 2500 --hint-ms 3000");
  ASSERT_EQ(svc.createError(), 0u);
  ASSERT_TRUE(svc.StartAndWaitRunning());
  const std::string n = Narrow(svc.name());

  const auto r = RunTool(Program(L"svchalt.exe"), {L"svchalt", svc.name(), L"30"});
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0u) << r.out;
  EXPECT_EQ(r.err, "");
  const auto lines = Lines(r.out);
  // Wine's manager lists no dependents, ever; the running-dependents paths
  // are covered by the unit tests and by StopsRunningDependentsFirst.
  ASSERT_GE(lines.size(), 8u) << r.out;
  EXPECT_EQ(lines[0], " 01->No services are running which are dependent upon Service " + n);
  EXPECT_EQ(lines[1], " 01->:Stopping service " + n);
  EXPECT_TRUE(
      Matches(lines[2], " 01->:ControlService\\(SERVICE_STOP\\) of " + n + " completed in \\d+ms"));
  // The status reported from inside the service's stop handler.
  EXPECT_EQ(lines[3],
            " 01->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is 1, 3000");
  // 2.5 s of stopping polled each second (a tenth of the hint, raised to 1 s).
  ExpectPollLines(lines, 4, lines.size() - 2, "3000");
  EXPECT_GE(lines.size() - 2 - 4, 2u);
  EXPECT_TRUE(Matches(lines[lines.size() - 3], " 01->:after \\d+ms, checkpoint 0 wait hint = 0ms"));
  EXPECT_EQ(lines[lines.size() - 2], "Service stop completed successfully");
  EXPECT_EQ(lines.back(), "svchalt exiting with exit code 0");
  EXPECT_EQ(r.out.substr(r.out.size() - 2), "\r\n");
  EXPECT_EQ(svc.State(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST(SvchaltProgram, StopsByDisplayNameAndTracesTheKeyName) {
  TestService svc(L"wtHaltB", L"");
  ASSERT_EQ(svc.createError(), 0u);
  ASSERT_TRUE(svc.StartAndWaitRunning());
  const std::string n = Narrow(svc.name());

  const auto r = RunTool(Program(L"svchalt.exe"), {L"svchalt", svc.display()});
  EXPECT_EQ(r.exitCode, 0u) << r.out;
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 7u) << r.out;
  EXPECT_EQ(lines[0], " 01->:Service name '" + Narrow(svc.display()) + "' refers to key " + n);
  EXPECT_EQ(lines[1], " 01->No services are running which are dependent upon Service " + n);
  EXPECT_EQ(lines[2], " 01->:Stopping service " + n);
  EXPECT_EQ(lines[lines.size() - 2], "Service stop completed successfully");
  EXPECT_EQ(svc.State(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST(SvchaltProgram, AStoppedServiceIsAlreadyStopped) {
  TestService svc(L"wtHaltC", L"");
  ASSERT_EQ(svc.createError(), 0u);
  const std::string n = Narrow(svc.name());
  const auto r = RunTool(Program(L"svchalt.exe"), {L"svchalt", svc.name(), L"5"});
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.out, " 01->No services are running which are dependent upon Service " + n +
                       "\r\n 01->:Service " + n +
                       " is already stopped\r\nService stop completed successfully\r\n"
                       "svchalt exiting with exit code 0\r\n");
}

TEST(SvchaltProgram, AHungStopTimesOutWith7OrWithinItsWaitHintWith6) {
  // The checkpoint never moves. A wait hint shorter than the time-out gives
  // 7; one that outlasts it (30 s) gives 6.
  const struct {
    const wchar_t* prefix;
    const char* hint;
    DWORD code;
    const char* verdict;
    const char* error;
  } cases[] = {
      {L"wtHaltD", "500", 7,
       " 01->:user specified timeout has expired, AND service did not set up wait hint "
       "appropriately",
       "Error: Specified timeout elapsed before service stop completed, waitHint was exceeded"},
      {L"wtHaltH", "30000", 6,
       " 01->:user specified timeout has expired, BUT service may have set up wait hint "
       "appropriately",
       "Error: Specified timeout elapsed before service stop completed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hint);
    TestService svc(c.prefix, L"--stop-ms 12000 --stall-stop --hint-ms " + wttest::Widen(c.hint));
    ASSERT_EQ(svc.createError(), 0u);
    ASSERT_TRUE(svc.StartAndWaitRunning());
    const auto r = RunWithTwoSecondTimeout(Program(L"svchalt.exe"), L"svchalt", svc.name());
    EXPECT_EQ(r.exitCode, c.code) << r.out;
    const auto lines = Lines(r.out);
    ASSERT_GE(lines.size(), 7u) << r.out;
    ExpectPollLines(lines, 4, lines.size() - 3, c.hint);
    EXPECT_EQ(lines[lines.size() - 3], c.verdict);
    EXPECT_EQ(lines[lines.size() - 2], c.error);
    EXPECT_EQ(lines.back(), "svchalt exiting with exit code " + std::to_string(c.code));
    EXPECT_TRUE(DeletesAtOnceAndGoes(svc.name()));
  }
}

TEST(SvchaltProgram, AServiceThatRefusesToStopGivesCode4) {
  // Accepts no stop control, and ends by itself after a few seconds so that
  // the clean-up can delete it.
  TestService svc(L"wtHaltE", L"--no-stop --exit-after-ms 3000");
  ASSERT_EQ(svc.createError(), 0u);
  ASSERT_TRUE(svc.StartAndWaitRunning());
  const std::string n = Narrow(svc.name());
  const auto r = RunTool(Program(L"svchalt.exe"), {L"svchalt", svc.name()});
  EXPECT_EQ(r.exitCode, 4u);
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_EQ(lines[1], " 01->:Stopping service " + n);
  // ERROR_INVALID_SERVICE_CONTROL, the system's text, then the verdict on
  // the same line.
  EXPECT_TRUE(Matches(lines[2],
                      "Attempt to stop service failed due to error 1052:[^\r\n]+"
                      "Error: Operating system request to stop service faile"));
  EXPECT_EQ(lines[3], "svchalt exiting with exit code 4");
}

TEST(SvchaltProgram, AnInvalidNameGives2AndAnUnknownService3) {
  const struct {
    std::wstring name;
    DWORD code;
    const char* pattern;
  } cases[] = {
      {L"bad\\name", 2,
       "Attempt to open service handle failed due to error 123:[^\r\n]+"
       "Error: an invalid service name was specified"},
      {L"", 2,
       "Attempt to open service handle failed due to error 123:[^\r\n]+"
       "Error: an invalid service name was specified"},
      {wttest::UniqueName(L"wtHaltNone"), 3,
       "Attempt to open service handle failed due to error 1060:[^\r\n]+"
       "Error: The service handle could not be opened"},
      {wttest::UniqueName(L"wtHalt\u00e9\u4e2d"), 3,
       "Attempt to open service handle failed due to error 1060:[^\r\n]+"
       "Error: The service handle could not be opened"},
  };
  for (const auto& c : cases) {
    const auto r = RunTool(Program(L"svchalt.exe"), {L"svchalt", c.name});
    EXPECT_EQ(r.exitCode, c.code) << Narrow(c.name);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_TRUE(Matches(lines[0], c.pattern));
    EXPECT_EQ(lines[1], "svchalt exiting with exit code " + std::to_string(c.code));
  }
}

// Longer than any service name may be: refused by the manager one way or
// the other (Windows: 123, invalid; Wine: 1060, unknown), never truncated
// into another service's name.
TEST(SvchaltProgram, AnOverlongNameIsRefused) {
  const auto r = RunTool(Program(L"svchalt.exe"), {L"svchalt", std::wstring(300, L'x')});
  EXPECT_TRUE(r.exitCode == 2 || r.exitCode == 3) << r.exitCode;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  EXPECT_TRUE(
      Matches(lines[0], "Attempt to open service handle failed due to error (123|1060):.+"));
  EXPECT_EQ(lines[1], "svchalt exiting with exit code " + std::to_string(r.exitCode));
}

TEST(SvchaltProgram, ArgumentErrorsExitWith1) {
  const struct {
    std::vector<std::wstring> args;
    const char* out;
  } cases[] = {
      {{L"svchalt"}, "usage is svchalt <service_name> [<timeout>]\r\nexit code 1\r\n"},
      {{L"svchalt", L"a", L"1", L"2"},
       "usage is svchalt <service_name> [<timeout>]\r\nexit code 1\r\n"},
      {{L"svchalt", L"a", L"abc"}, "invalid timeout abc\r\nexit code 1\r\n"},
      {{L"svchalt", L"a", L"0"}, "invalid timeout 0\r\nexit code 1\r\n"},
      {{L"svchalt", L"a", L""}, "invalid timeout \r\nexit code 1\r\n"},
  };
  for (const auto& c : cases) {
    const auto r = RunTool(Program(L"svchalt.exe"), c.args);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.out, c.out);
  }
}

// Windows lists the running dependents and refuses to stop a service while
// they run (1051); Wine's EnumDependentServicesW lists nothing and its stop
// never refuses, so this runs on Windows only.
TEST(SvchaltProgram, StopsRunningDependentsFirst) {
  WT_SKIP_UNDER_WINE("Wine's service manager lists no dependent services");
  TestService base(L"wtHaltBase", L"");
  ASSERT_EQ(base.createError(), 0u);
  TestService dependent(L"wtHaltDep", L"", base.name());
  ASSERT_EQ(dependent.createError(), 0u);
  ASSERT_TRUE(dependent.StartAndWaitRunning());  // starts base first
  const std::string b = Narrow(base.name());
  const std::string d = Narrow(dependent.name());
  const auto r = RunTool(Program(L"svchalt.exe"), {L"svchalt", base.name()});
  EXPECT_EQ(r.exitCode, 0u) << r.out;
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 10u) << r.out;
  EXPECT_EQ(lines[0], " 01->Service " + b + " requires that service " + d + "(" +
                          Narrow(dependent.display()) + ") be stopped first");
  EXPECT_EQ(lines[1], "  02->No services are running which are dependent upon Service " + d);
  EXPECT_EQ(lines[2], "  02->:Stopping service " + d);
  EXPECT_EQ(dependent.State(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(base.State(), static_cast<DWORD>(SERVICE_STOPPED));
}

// svcredesc: the description read back through QueryServiceConfig2W.
std::wstring DescriptionOf(const std::wstring& name, bool* present) {
  *present = false;
  wt::Owned scm(::CloseServiceHandle, OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  wt::Owned service(::CloseServiceHandle,
                    scm ? OpenServiceW(scm.get(), name.c_str(), SERVICE_QUERY_CONFIG) : nullptr);
  if (!service) return L"";
  DWORD needed = 0;
  QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed + sizeof(SERVICE_DESCRIPTIONW));
  if (!QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer.data(),
                            static_cast<DWORD>(buffer.size()), &needed)) {
    return L"";
  }
  const auto* d = reinterpret_cast<const SERVICE_DESCRIPTIONW*>(buffer.data());
  *present = d->lpDescription != nullptr && *d->lpDescription != L'\0';
  return d->lpDescription ? d->lpDescription : L"";
}

TEST(SvcredescProgram, ChangesTheDescriptionAndAnEmptyOneRemovesIt) {
  TestService svc(L"wtRedesc", L"");
  ASSERT_EQ(svc.createError(), 0u);
  const std::wstring text = L"Runs the TEV  scheduler \u00e9t\u00e9 \u4e2d\u6587, \"quoted\"";
  auto r = RunTool(Program(L"svcredesc.exe"), {L"svcredesc", svc.name(), text});
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.out + r.err, "");
  bool present = false;
  EXPECT_EQ(DescriptionOf(svc.name(), &present), text);
  EXPECT_TRUE(present);

  r = RunTool(Program(L"svcredesc.exe"), {L"svcredesc", svc.name(), L""});
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.out + r.err, "");
  DescriptionOf(svc.name(), &present);
  EXPECT_FALSE(present);
}

TEST(SvcredescProgram, AnUnknownServiceExitsWith1060Silently) {
  const auto r =
      RunTool(Program(L"svcredesc.exe"), {L"svcredesc", wttest::UniqueName(L"wtRedescNone"), L"x"});
  EXPECT_EQ(r.exitCode, static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(r.out + r.err, "");
}

TEST(SvcredescProgram, AnyOtherArgumentCountPrintsUsageAndExitsMinusOne) {
  for (const auto& args : std::vector<std::vector<std::wstring>>{
           {L"svcredesc", L"only"}, {L"svcredesc", L"a", L"b", L"c"}}) {
    const auto r = RunTool(Program(L"svcredesc.exe"), args);
    EXPECT_EQ(r.exitCode, 0xFFFFFFFFu);
    EXPECT_EQ(r.out, "USAGE:\r\n  svcredesc <servicename> <description>\r\n");
  }
}

}  // namespace
}  // namespace svcctl::e2e
