// Fonts and the environment broadcast of the real DLL. SystemShutdown is
// never called here: under Wine ExitWindowsEx ends every process of the
// prefix, on Windows it restarts the machine. Its paths are unit-tested.
#include "e2e_support.h"
#include "wttest/platform.h"

namespace hostprobe_e2e {
namespace {

// A private copy of an outline TrueType font, so that registrations of other
// tests cannot meet this one's. Removed from the font table and the disk.
class FontCopy {
 public:
  explicit FontCopy(const TempFolder& temp) {
    path_ = temp / (wttest::UniqueName(L"font_") + L".ttf");
    if (!WriteUniqueTestFont(path_)) path_.clear();
  }
  ~FontCopy() {
    if (path_.empty()) return;
    for (int i = 0; i < 100 && RemoveFontResourceW(path_.c_str()); ++i) {
    }
  }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

TEST_F(HostProbeTest, RegisterFontLeavesExactlyOneRegistration) {
  TempFolder temp;
  FontCopy font(temp);
  if (font.path().empty()) GTEST_SKIP() << "no outline font (WT_TEST_FONT)";
  for (int i = 0; i < 3; ++i) ASSERT_GT(AddFontResourceW(font.path().c_str()), 0);
  EXPECT_EQ(probe.Int("registerFont", font.path()), 1);
  // Registered once: one removal succeeds, the next finds nothing.
  EXPECT_TRUE(RemoveFontResourceW(font.path().c_str()));
  EXPECT_FALSE(RemoveFontResourceW(font.path().c_str()));
}

TEST_F(HostProbeTest, UnregisterFontRemovesEveryRegistration) {
  TempFolder temp;
  FontCopy font(temp);
  if (font.path().empty()) GTEST_SKIP() << "no outline font (WT_TEST_FONT)";
  // Never registered: nothing to remove is success.
  EXPECT_EQ(probe.Int("unregisterFont", font.path()), 1);
  ASSERT_GT(AddFontResourceW(font.path().c_str()), 0);
  ASSERT_GT(AddFontResourceW(font.path().c_str()), 0);
  EXPECT_EQ(probe.Int("unregisterFont", font.path()), 1);
  EXPECT_FALSE(RemoveFontResourceW(font.path().c_str()));
}

TEST_F(HostProbeTest, FilesThatAreNoFontAreNotRegistered) {
  TempFolder temp;
  ASSERT_TRUE(WriteBytes(temp / L"notafont.ttf", std::string(4096, 'x')));
  EXPECT_EQ(probe.Int("registerFont", temp / L"notafont.ttf"), 0);
  EXPECT_EQ(probe.Int("registerFont", temp / L"missing.ttf"), 0);
  EXPECT_EQ(probe.Int("unregisterFont", temp / L"notafont.ttf"), 1);
}

TEST_F(HostProbeTest, EnvironmentChangeBroadcastIsHandled) {
  const jint result = probe.Int("registerEnvironmentChange");
  // Wine's broadcast stores the message result 1; Windows' windows answer 0.
  WT_SKIP_UNDER_WINE("SendMessageTimeoutA broadcast stores 1 under Wine");
  EXPECT_EQ(result, 1);
}

}  // namespace
}  // namespace hostprobe_e2e
