// Every method but SystemShutdown from several threads at once: the answers
// are those of a lone call, nothing crashes, no string is left unreleased.
#include <atomic>
#include <thread>
#include <vector>

#include "e2e_support.h"
#include "wttest/platform.h"

namespace hostprobe_e2e {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 8;

const char* const kTextQuestions[] = {"GetHostProbeVersion", "GetWinVerStr", "getSysDr",
                                      "getSystemDirectory", "WinGetComputerName"};
const char* const kIntQuestions[] = {"GetArchitectureWin", "isWow64",          "GetCPULevelWin",
                                     "GetCPUModelWin",     "GetCPUSteppingWin", "GetCPUNumWin",
                                     "registerEnvironmentChange"};

TEST_F(HostProbeTest, AllMethodsFromSeveralThreads) {
  if (X86EmulatedByQemu()) GTEST_SKIP() << "threads of emulated 32-bit programs are unreliable here";
  TempFolder temp;
  std::vector<OptText> texts;
  std::vector<jint> ints;
  for (const char* m : kTextQuestions) texts.push_back(probe.Text(m));
  for (const char* m : kIntQuestions) ints.push_back(probe.Int(m));
  const jlong memory = probe.Long("GetPhysicalMemory");

  std::atomic<int> wrong{0};
  auto worker = [&](int id) {
    Probe p(host);  // one shared JNI host, as one Java VM
    const std::wstring mine = temp / (L"t" + std::to_wstring(id));
    CreateDirectoryW(mine.c_str(), nullptr);
    const std::wstring font = mine + L"\\font.ttf";
    const bool haveFont = WriteUniqueTestFont(font);
    auto check = [&](bool ok) {
      if (!ok) ++wrong;
    };
    check(haveFont || TestFontSource().empty());
    for (int round = 0; round < kRounds; ++round) {
      for (size_t i = 0; i < std::size(kTextQuestions); ++i)
        check(p.Text(kTextQuestions[i]) == texts[i]);
      for (size_t i = 0; i < std::size(kIntQuestions); ++i)
        check(p.Int(kIntQuestions[i]) == ints[i]);
      check(p.Long("GetPhysicalMemory") == memory);

      const std::wstring a = mine + L"\\a long name.txt", b = mine + L"\\b long name.txt";
      check(WriteBytes(a, "data"));
      check(p.MoveFileEx(a, b, MOVEFILE_REPLACE_EXISTING) == 1);
      check(p.Int("IsFileWriteLocked", b) == 0);
      check(p.Int("IsFileWriteLocked", a) == 0);
      const OptText shortPath = p.GetShortPath(b);
      check(shortPath && shortPath->size() < b.size());
      check(p.Int("Copy64NoRedirect", b, mine + L"\\c.txt") == 1);
      check(p.Int("Delete64NoRedirect", mine + L"\\c.txt") == 1);
      if (haveFont) {
        check(p.Int("registerFont", font) == 1);
        check(p.Int("unregisterFont", font) == 1);
      }
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) threads.emplace_back(worker, i);
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  // Nothing left registered by the font rounds.
  for (int i = 0; i < kThreads; ++i) {
    const std::wstring font = temp / (L"t" + std::to_wstring(i) + L"\\font.ttf");
    EXPECT_FALSE(RemoveFontResourceW(font.c_str()));
  }
}

}  // namespace
}  // namespace hostprobe_e2e
