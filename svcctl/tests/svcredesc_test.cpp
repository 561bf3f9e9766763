// svcredesc against the scripted service manager.
#include "svcredesc.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "fake_platform.h"

namespace svcctl {
namespace {

using testing::FakePlatform;

int Redesc(FakePlatform& f, std::vector<std::wstring> args) {
  return testing::RunMain(SvcredescMain, f, std::move(args));
}

TEST(Svcredesc, SetsTheDescriptionExactlyAsGivenAndPrintsNothing) {
  for (const wchar_t* text : {L"Runs the TEV  scheduler.", L"", L"  \u00e9t\u00e9 \u4e2d "}) {
    FakePlatform f;
    auto& s = f.Add(L"S");
    EXPECT_EQ(Redesc(f, {L"svcredesc", L"S", text}), 0);
    EXPECT_TRUE(s.described);
    EXPECT_EQ(s.description, text);
    EXPECT_EQ(f.out, "");
    EXPECT_EQ(f.managerAccess, std::vector<DWORD>{SC_MANAGER_ALL_ACCESS});
    EXPECT_EQ(s.openAccess, std::vector<DWORD>{SERVICE_CHANGE_CONFIG});
    EXPECT_TRUE(f.AllReleased());
  }
}

TEST(Svcredesc, TheFirstFailingCallsCodeIsTheExitCode) {
  const struct {
    const char* name;
    std::function<void(FakePlatform&)> script;
    const wchar_t* service;
    int code;
  } cases[] = {
      {"manager", [](FakePlatform& f) { f.managerError = ERROR_ACCESS_DENIED; }, L"S", 5},
      {"unknown service", [](FakePlatform&) {}, L"nosuch", 1060},
      {"invalid name", [](FakePlatform&) {}, L"a\\b", 123},
      {"open", [](FakePlatform& f) { f.Service(L"S").openError = ERROR_ACCESS_DENIED; }, L"S", 5},
      {"change",
       [](FakePlatform& f) { f.Service(L"S").describeError = ERROR_SERVICE_MARKED_FOR_DELETE; },
       L"S", 1072},
      {"any code passed on unchanged",
       [](FakePlatform& f) { f.Service(L"S").describeError = 0xFFFFFFFF; }, L"S", -1},
  };
  for (const auto& c : cases) {
    FakePlatform f;
    f.Add(L"S");
    c.script(f);
    EXPECT_EQ(Redesc(f, {L"svcredesc", c.service, L"text"}), c.code) << c.name;
    EXPECT_EQ(f.out, "") << c.name;
    EXPECT_TRUE(f.AllReleased()) << c.name;
  }
}

TEST(Svcredesc, AnyOtherArgumentCountPrintsUsageAndExitsMinusOne) {
  for (const auto& args : std::vector<std::vector<std::wstring>>{
           {L"svcredesc"}, {L"svcredesc", L"S"}, {L"svcredesc", L"S", L"a", L"b"}}) {
    FakePlatform f;
    EXPECT_EQ(Redesc(f, args), -1);
    EXPECT_EQ(f.out, "USAGE:\n  svcredesc <servicename> <description>\n");
    EXPECT_TRUE(f.managerAccess.empty());
  }
}

}  // namespace
}  // namespace svcctl
