// The CustomActionData grammar, and RunTool against a scripted installer and
// tool: the log lines and the result of each outcome, and what reaches the
// tool and the log.
#include <gtest/gtest.h>

#include "action_data.h"
#include "fake_platform.h"
#include "run_tool.h"
#include "wttest/platform.h"

namespace toolrun {
namespace {

using testing::FakePlatform;
using testing::kNever;

struct GrammarCase {
  const wchar_t* data;
  const wchar_t* error;  // empty: well formed
  const wchar_t* command = nullptr;
  const wchar_t* stdinText = nullptr;  // null: no stdin=
};

const GrammarCase kGrammar[] = {
    {LR"(cmd="C:\t\a.exe" -x)", L"", LR"("C:\t\a.exe" -x)", nullptr},
    {L"timeout=5;secret;action=A;codes=0,502;cmd=a -s;stdin=p;w=d;stdin=x", L"", L"a -s",
     L"p;w=d;stdin=x"},
    {L"cmd=a;b=c;stdin=", L"", L"a;b=c", L""},
    {L"action=A;", L"no \"cmd=\"", nullptr, nullptr},
    {L"codes=0,,1;cmd=a", L"bad code list \"0,,1\" (decimal exit codes, comma-separated)"},
    {L"codes=4294967296;cmd=a", L"bad code list \"4294967296\" (decimal exit codes, comma-separated)"},
    {L"timeout=0;cmd=a", L"bad timeout \"0\" (1 to 86400 seconds)"},
    {L"timeout=86401;cmd=a", L"bad timeout \"86401\" (1 to 86400 seconds)"},
    {L"Cmd=a", L"unknown key \"Cmd\""},
    {L"hunter2;cmd=a", L"an item that is neither key=value nor \"secret\""},
    {L"codes=1;codes=2;cmd=a", L"\"codes\" given twice"},
    {L"secret;cmd=", L"empty command line"},
};

TEST(ToolrunGrammar, ParsesEveryKeyAndRejectsWhatItCannotRead) {
  for (const GrammarCase& c : kGrammar) {
    SCOPED_TRACE(wttest::Narrow(c.data));
    const Parsed p = ParseActionData(c.data);
    EXPECT_EQ(p.error, c.error);
    if (*c.error) continue;
    EXPECT_EQ(p.request.command, c.command);
    EXPECT_EQ(p.request.hasStdin, c.stdinText != nullptr);
    if (c.stdinText) {
      EXPECT_EQ(p.request.stdinText, c.stdinText);
    }
  }
  const Request r = ParseActionData(kGrammar[1].data).request;
  EXPECT_EQ(r.action, L"A");
  EXPECT_EQ(CodeList(r.codes), L"0,502");
  EXPECT_EQ(r.timeoutSeconds, 5u);
  EXPECT_TRUE(r.secret);
}

struct RunCase {
  const char* name;
  const wchar_t* data;
  std::vector<testing::Chunk> output;
  DWORD exitAt, exitCode, startError;
  int cancelAtMessage;
  UINT result;
  const wchar_t* log;  // the INFO lines; a last line ending in '*' is a prefix
};

const wchar_t kCmd[] = LR"(action=A;codes=0,502;cmd="C:\t\x.exe" -q)";

const RunCase kRuns[] = {
    {"lines cut across reads, a success code", kCmd,
     {{0, "one\r\r\ntw"}, {120, "o\r\r\n\r\r\n\nthree"}}, 300, 502, 0, 0, ERROR_SUCCESS,
     L"A: running \"C:\\t\\x.exe\" -q\nA: one\nA: two\nA: three\nA: x.exe exited with code 502\n"},
    {"a failure code", kCmd, {{0, "Access denied.\r\n"}}, 10, 3, 0, 0, ERROR_INSTALL_FAILURE,
     L"A: running \"C:\\t\\x.exe\" -q\nA: Access denied.\n"
     L"A: x.exe exited with code 3, which is not a success code (0,502)\n"},
    {"no program", kCmd, {}, 0, 0, ERROR_FILE_NOT_FOUND, 0, ERROR_INSTALL_FAILURE,
     L"A: running \"C:\\t\\x.exe\" -q\nA: cannot start x.exe: error 2*"},
    {"time-out", L"timeout=2;cmd=x.exe", {{0, "waiting [for] it\r\n"}, {1500, "still"}}, kNever,
     0, 0, 0, ERROR_INSTALL_FAILURE,
     L"RunTool: running x.exe\nRunTool: waiting [for] it\nRunTool: still\n"
     L"RunTool: x.exe still running after 2 seconds; x.exe terminated\n"},
    {"cancel", kCmd, {{0, "step 1\r\n"}, {9000, "step 2\r\n"}}, kNever, 0, 0, 2,
     ERROR_INSTALL_USEREXIT,
     L"A: running \"C:\\t\\x.exe\" -q\nA: step 1\nA: installation cancelled; x.exe terminated\n"},
    {"cancel while the tool is silent", kCmd, {}, kNever, 0, 0, 2, ERROR_INSTALL_USEREXIT,
     L"A: running \"C:\\t\\x.exe\" -q\nA: installation cancelled; x.exe terminated\n"},
    {"secret", L"secret;cmd=\"C:\\t\\acctmgr.exe\" -uSvc -s;stdin=p;w=d", {{0, "ok\r\n"}}, 5, 0,
     0, 0, ERROR_SUCCESS,
     L"RunTool: running a secret command line (not logged)\nRunTool: ok\n"
     L"RunTool: the tool exited with code 0\n"},
    {"invalid data", L"codes=x;cmd=x.exe", {}, 0, 0, 0, 0, ERROR_INSTALL_FAILURE,
     L"RunTool: invalid CustomActionData: bad code list \"x\" (decimal exit codes, "
     L"comma-separated); the tool is not started\n"},
};

TEST(ToolrunRun, LogsTheToolsLinesAndReturnsWhatItsEndMeans) {
  for (const RunCase& c : kRuns) {
    SCOPED_TRACE(c.name);
    FakePlatform f;
    f.data = c.data;
    f.output = c.output;
    f.exitAt = c.exitAt;
    f.exitCode = c.exitCode;
    f.startError = c.startError;
    f.cancelAtMessage = c.cancelAtMessage;
    EXPECT_EQ(RunTool(f, 1), c.result);
    const std::wstring want = c.log, log = f.Log();
    const size_t exact = want.back() == L'*' ? want.size() - 1 : std::wstring::npos;
    EXPECT_EQ(log.substr(0, exact), want.substr(0, exact)) << wttest::Narrow(log);
    EXPECT_TRUE(f.AllReleased());
    EXPECT_EQ(f.startProblem, "");
    EXPECT_FALSE(f.started && !f.ToolDone()) << "the tool was left running";
    EXPECT_TRUE(!f.started || f.stdinClosedAtStart);
    // Each of the tool's lines also went to the progress dialog.
    for (size_t i = 1; i + 1 < f.messages.size(); ++i) {
      if (f.messages[i].type == INSTALLMESSAGE_ACTIONDATA) {
        EXPECT_EQ(f.messages[i].text, f.messages[i - 1].text);
      }
    }
    EXPECT_TRUE(!f.terminated || f.jobTerminated);
    if (c.exitAt == kNever) {
      EXPECT_EQ(f.terminatedAfter, c.cancelAtMessage == 0 ? 2000u : c.output.empty() ? kAskMs : 0u);
    }
  }
}

TEST(ToolrunRun, SecretCommandLineAndStdinTextReachOnlyTheTool) {
  FakePlatform f;
  f.data = kRuns[6].data;
  f.exitAt = 5;
  EXPECT_EQ(RunTool(f, 1), UINT{ERROR_SUCCESS});
  EXPECT_EQ(f.commandLine, L"\"C:\\t\\acctmgr.exe\" -uSvc -s");
  EXPECT_EQ(f.stdinBytes, "p;w=d\r\n");
  for (const std::wstring& s : f.recordStrings) {
    EXPECT_EQ(s.find(L"acctmgr"), std::wstring::npos) << wttest::Narrow(s);
    EXPECT_EQ(s.find(L"-uSvc"), std::wstring::npos) << wttest::Narrow(s);
    EXPECT_EQ(s.find(L"p;w=d"), std::wstring::npos) << wttest::Narrow(s);
  }
}

// The tools write through the C runtime, which gives a pipe the ANSI code page.
TEST(ToolrunRun, DecodesTheToolsTextInTheAnsiCodePage) {
  const std::wstring name = L"Caf\u00e9 \u00c5ngstr\u00f6m";
  char bytes[64] = {};
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, bytes,
                                    sizeof bytes, "?", &lossy);
  if (n <= 0 || lossy) GTEST_SKIP() << "the ANSI code page has no " << wttest::Narrow(name);
  FakePlatform f;
  f.data = L"cmd=x.exe";
  f.output = {{0, std::string(bytes) + "\r\n"}};
  f.exitAt = 5;
  EXPECT_EQ(RunTool(f, 1), UINT{ERROR_SUCCESS});
  EXPECT_NE(f.Log().find(L"RunTool: " + name + L"\n"), std::wstring::npos);
}

}  // namespace
}  // namespace toolrun
