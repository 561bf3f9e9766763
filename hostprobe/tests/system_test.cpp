// Fonts, environment broadcast and restart through the scripted platform:
// the restart's success path is only ever reached here.
#include <gtest/gtest.h>

#include "e2e_support.h"
#include "fake_platform.h"
#include "operations.h"
#include "wttest/jnihost.h"

namespace {

using hostprobe_test::FakePlatform;

const std::string kFontChangePost = "65535|29|0|0";  // HWND_BROADCAST, WM_FONTCHANGE

TEST(RemoveFontCompletely, RemovesUntilNothingIsLeft) {
  FakePlatform f;
  f.fontRegistrations = 3;
  EXPECT_EQ(hostprobe::RemoveFontCompletely(f.table(), L"C:\\f.ttf"), 1);
  EXPECT_EQ(f.Count("RemoveFontResourceW"), 4);
  EXPECT_EQ(f.fontRegistrations, 0);
}

TEST(RemoveFontCompletely, StopsAfterExactlyOneThousandCalls) {
  FakePlatform f;
  f.removalAlwaysSucceeds = true;
  EXPECT_EQ(hostprobe::RemoveFontCompletely(f.table(), L"C:\\f.ttf"), 0);
  EXPECT_EQ(f.Count("RemoveFontResourceW"), 1000);
}

TEST(RegisterFont, FontRegisteredThreeTimesEndsRegisteredOnce) {
  FakePlatform f;
  f.fontRegistrations = 3;
  wttest::JniHost host;
  EXPECT_EQ(hostprobe::RegisterFont(f.table(), host.env(), host.NewJavaString(L"C:\\f.ttf")), 1);
  EXPECT_EQ(f.Count("RemoveFontResourceW"), 4);
  EXPECT_EQ(f.fontRegistrations, 1);
  EXPECT_EQ(f.posted, std::vector<std::string>{kFontChangePost});
}

// A registration of the file that starts while another is between its
// removals and its addition (here: in its AddFontResourceW) must wait for
// it, or both add the file.
hostprobe::Platform g_racing;
int(WINAPI* g_add)(LPCWSTR) = nullptr;
wttest::JniHost* g_host = nullptr;
HANDLE g_second = nullptr;
DWORD WINAPI SecondRegistration(void*) {
  return static_cast<DWORD>(
      hostprobe::RegisterFont(g_racing, g_host->env(), g_host->NewJavaString(L"C:\\f.ttf")));
}
int WINAPI AddWhileASecondRegistrationStarts(LPCWSTR path) {
  if (!g_second) {
    g_second = CreateThread(nullptr, 0, SecondRegistration, nullptr, 0, nullptr);
    WaitForSingleObject(g_second, 500);  // long enough for a registration not held back
  }
  return g_add(path);
}
BOOL WINAPI PostNothing(HWND, UINT, WPARAM, LPARAM) { return TRUE; }

TEST(RegisterFont, TwoThreadsRegisteringOneFileLeaveItRegisteredOnce) {
  if (hostprobe_e2e::X86EmulatedByQemu()) GTEST_SKIP() << "threads of emulated 32-bit programs";
  FakePlatform f;
  f.fontRegistrations = 2;
  wttest::JniHost host;
  g_host = &host;
  g_racing = f.table();
  g_add = g_racing.AddFontResourceW;
  g_racing.AddFontResourceW = &AddWhileASecondRegistrationStarts;
  g_racing.PostMessageA = &PostNothing;  // the fake's record is not shared between threads
  EXPECT_EQ(hostprobe::RegisterFont(g_racing, host.env(), host.NewJavaString(L"C:\\f.ttf")), 1);
  DWORD second = 0;
  WaitForSingleObject(g_second, INFINITE);
  GetExitCodeThread(g_second, &second);
  CloseHandle(g_second);
  EXPECT_EQ(second, 1u);
  EXPECT_EQ(f.fontRegistrations, 1);
  EXPECT_TRUE(host.Errors().empty()) << host.Errors().front();
}

TEST(RegisterFont, FailuresStillAnnounceTheChange) {
  {
    FakePlatform f;  // not a font: nothing added
    f.addFontResult = 0;
    wttest::JniHost host;
    EXPECT_EQ(hostprobe::RegisterFont(f.table(), host.env(), host.NewJavaString(L"C:\\x.txt")), 0);
    EXPECT_EQ(f.posted, std::vector<std::string>{kFontChangePost});
  }
  {
    FakePlatform f;  // removal that never ends: nothing added
    f.removalAlwaysSucceeds = true;
    wttest::JniHost host;
    EXPECT_EQ(hostprobe::RegisterFont(f.table(), host.env(), host.NewJavaString(L"C:\\f.ttf")), 0);
    EXPECT_EQ(f.Count("AddFontResourceW"), 0);
    EXPECT_EQ(f.posted, std::vector<std::string>{kFontChangePost});
  }
}

TEST(UnregisterFont, ResultOfTheRemovalAndAlwaysTheBroadcast) {
  {
    FakePlatform f;  // never registered: first removal fails, result 1
    wttest::JniHost host;
    EXPECT_EQ(hostprobe::UnregisterFont(f.table(), host.env(), host.NewJavaString(L"C:\\f.ttf")),
              1);
    EXPECT_EQ(f.Count("RemoveFontResourceW"), 1);
    EXPECT_EQ(f.posted, std::vector<std::string>{kFontChangePost});
  }
  {
    FakePlatform f;
    f.removalAlwaysSucceeds = true;
    wttest::JniHost host;
    EXPECT_EQ(hostprobe::UnregisterFont(f.table(), host.env(), host.NewJavaString(L"C:\\f.ttf")),
              0);
    EXPECT_EQ(f.posted, std::vector<std::string>{kFontChangePost});
  }
}

TEST(RegisterEnvironmentChange, HandledOnlyWhenAZeroAnswerWasStored) {
  const struct {
    bool stores;
    DWORD_PTR answer;
    jint result;
  } cases[] = {{true, 0, 1}, {true, 1, 0}, {false, 0, 0}};
  for (const auto& c : cases) {
    FakePlatform f;
    f.broadcastStoresAnswer = c.stores;
    f.broadcastAnswer = c.answer;
    EXPECT_EQ(hostprobe::RegisterEnvironmentChange(f.table()), c.result);
    // HWND_BROADCAST, WM_SETTINGCHANGE, "Environment", SMTO_ABORTIFHUNG, 1 s.
    EXPECT_EQ(f.sent, std::vector<std::string>{"65535|26|0|Environment|2|1000"});
    EXPECT_TRUE(f.log.empty());
  }
}

TEST(SystemShutdown, RequestsAForcedRestartForAPlannedUpgrade) {
  FakePlatform f;
  EXPECT_EQ(hostprobe::SystemShutdown(f.table()), 1);
  EXPECT_EQ(f.openTokenAccess, 0x28u);
  EXPECT_EQ(f.privilegeName, "SeShutdownPrivilege");
  EXPECT_EQ(f.adjustedCount, 1u);
  EXPECT_EQ(f.adjustedAttributes, static_cast<DWORD>(SE_PRIVILEGE_ENABLED));
  EXPECT_EQ(f.exitFlags, 6u);
  EXPECT_EQ(f.exitReason, 0x80020003u);
  EXPECT_TRUE(f.log.empty());
  EXPECT_EQ(f.closed, std::vector<HANDLE>{FakePlatform::Token()});
}

TEST(SystemShutdown, EachFailingStepWritesItsWarningAndStops) {
  struct Case {
    const char* step;
    void (*script)(FakePlatform&);
    const char* entry;
    int exitCalls;
    size_t tokenCloses;
  } cases[] = {
      {"token", [](FakePlatform& f) { f.openTokenFails = true; },
       "WARNING: OpenProcessToken=failed", 0, 0},
      // The account lacks the privilege: the adjust call succeeds, the last
      // error says 1300.
      {"not all assigned", [](FakePlatform& f) { f.adjustError = ERROR_NOT_ALL_ASSIGNED; },
       "WARNING: AdjustTokenPrivileges=failed", 0, 1},
      {"adjust fails",
       [](FakePlatform& f) {
         f.adjustResult = FALSE;
         f.adjustError = ERROR_INVALID_HANDLE;
       },
       "WARNING: AdjustTokenPrivileges=failed", 0, 1},
      {"exit", [](FakePlatform& f) { f.exitResult = FALSE; }, "WARNING: ExitWindowsEx=failed", 1,
       1},
  };
  for (const Case& c : cases) {
    FakePlatform f;
    c.script(f);
    EXPECT_EQ(hostprobe::SystemShutdown(f.table()), 0) << c.step;
    EXPECT_EQ(f.log, std::vector<std::string>{c.entry}) << c.step;
    EXPECT_EQ(f.Count("ExitWindowsEx"), c.exitCalls) << c.step;
    EXPECT_EQ(f.closed.size(), c.tokenCloses) << c.step;
  }
}

}  // namespace
