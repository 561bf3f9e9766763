// Linked into a test executable (object library wtquietprinter), this keeps
// GoogleTest's result printer from calling OutputDebugStringA for every
// failure and skip in 32-bit tests under Wine.
//
// OutputDebugStringA raises DBG_PRINTEXCEPTION_C and catches it again. Where
// Wine's 32-bit half runs through qemu's user-mode emulator (a kernel without
// 32-bit support), that exception's unwinding crashes the process, so a
// GTEST_SKIP or an ordinary failure would end the whole test executable. The
// replacement prints the same lines to standard output and nothing else.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

class PrinterWithoutDebugOutput : public testing::TestEventListener {
 public:
  explicit PrinterWithoutDebugOutput(testing::TestEventListener* inner) : inner_(inner) {}

  void OnTestProgramStart(const testing::UnitTest& u) override { inner_->OnTestProgramStart(u); }
  void OnTestIterationStart(const testing::UnitTest& u, int i) override {
    inner_->OnTestIterationStart(u, i);
  }
  void OnEnvironmentsSetUpStart(const testing::UnitTest& u) override {
    inner_->OnEnvironmentsSetUpStart(u);
  }
  void OnEnvironmentsSetUpEnd(const testing::UnitTest& u) override {
    inner_->OnEnvironmentsSetUpEnd(u);
  }
  void OnTestSuiteStart(const testing::TestSuite& s) override { inner_->OnTestSuiteStart(s); }
  void OnTestStart(const testing::TestInfo& t) override { inner_->OnTestStart(t); }
  void OnTestPartResult(const testing::TestPartResult& r) override {
    if (r.type() == testing::TestPartResult::kSuccess) return;
    const char* kind = r.type() == testing::TestPartResult::kSkip ? "Skipped" : "Failure";
    if (r.file_name())
      std::printf("%s:%d: %s\n%s\n", r.file_name(), r.line_number(), kind, r.message());
    else
      std::printf("%s\n%s\n", kind, r.message());
    std::fflush(stdout);
  }
  void OnTestEnd(const testing::TestInfo& t) override { inner_->OnTestEnd(t); }
  void OnTestSuiteEnd(const testing::TestSuite& s) override { inner_->OnTestSuiteEnd(s); }
  void OnEnvironmentsTearDownStart(const testing::UnitTest& u) override {
    inner_->OnEnvironmentsTearDownStart(u);
  }
  void OnEnvironmentsTearDownEnd(const testing::UnitTest& u) override {
    inner_->OnEnvironmentsTearDownEnd(u);
  }
  void OnTestIterationEnd(const testing::UnitTest& u, int i) override {
    inner_->OnTestIterationEnd(u, i);
  }
  void OnTestProgramEnd(const testing::UnitTest& u) override { inner_->OnTestProgramEnd(u); }

 private:
  std::unique_ptr<testing::TestEventListener> inner_;
};

bool Is32BitUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return sizeof(void*) == 4 && ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

const bool g_installed = [] {
  if (!Is32BitUnderWine()) return false;
  testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
  testing::TestEventListener* pretty = listeners.Release(listeners.default_result_printer());
  if (!pretty) return false;
  listeners.Append(new PrinterWithoutDebugOutput(pretty));
  return true;
}();

}  // namespace
