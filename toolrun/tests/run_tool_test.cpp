// The CustomActionData grammar, and RunTool against a scripted installer and
// tool: the log lines and result of each outcome, what reaches the tool, and
// what never reaches the log.
#include "run_tool.h"

#include <gtest/gtest.h>

#include "action_data.h"
#include "fake_platform.h"
#include "wttest/platform.h"

namespace toolrun {
namespace {

using testing::kNever;

// Malformed data and the problem the log line names.
const wchar_t* const kMalformed[][2] = {
    {L"action=A;", L"no \"cmd=\""},
    {L"codes=0,,1;cmd=a", L"bad code list \"0,,1\" (decimal exit codes, comma-separated)"},
    {L"timeout=0;cmd=a", L"bad timeout \"0\" (1 to 86400 seconds)"},
    {L"Cmd=a", L"unknown key \"Cmd\""},
    {L"hunter2;cmd=a", L"an item that is neither key=value nor \"secret\""},
    {L"secret;cmd=", L"empty command line"},
};

TEST(ToolrunGrammar, ParsesEveryKeyAndNamesWhatItCannotRead) {
  const Parsed p =
      ParseActionData(L"timeout=5;secret;action=A;codes=0,502;cmd=a -s;stdin=p;w=d;stdin=x");
  const Request& r = p.request;
  EXPECT_EQ(
      p.error + L"|" + r.action + L"|" + CodeList(r.codes) + L"|" + r.command + L"|" + r.stdinText,
      L"|A|0,502|a -s|p;w=d;stdin=x");
  EXPECT_TRUE(r.secret && r.timeoutSeconds == 5 &&
              ParseActionData(L"cmd=a").request.timeoutSeconds == 600);
  for (const auto& c : kMalformed)
    EXPECT_EQ(ParseActionData(c[0]).error, c[1]) << wttest::Narrow(c[0]);
}

// How the scripted tool ends: when (ms, or never), with what code, or the
// start's error; the installer's message that answers IDCANCEL (0: none).
struct Ending {
  DWORD exitAt, exitCode, startError;
  int cancelAtMessage;
};

struct RunCase {
  const wchar_t* data;
  std::vector<testing::Chunk> output;
  Ending end;
  UINT result;
  const wchar_t* log;  // the INFO lines; a last line ending in '*' is a prefix
};

#define A_RUNNING L"A: running \"C:\\t\\x.exe\" -q\n"
const wchar_t kCmd[] = LR"(action=A;codes=0,502;cmd="C:\t\x.exe" -q)";
const RunCase kRuns[] = {
    {kCmd,
     {{0, "one\r\r\ntw"}, {120, "o\r\r\n\r\r\n\nthree"}},
     {300, 502, 0, 0},
     ERROR_SUCCESS,
     A_RUNNING L"A: one\nA: two\nA: three\nA: x.exe exited with code 502\n"},
    {kCmd,
     {{0, "Denied.\r\n"}},
     {10, 3, 0, 0},
     ERROR_INSTALL_FAILURE,
     A_RUNNING L"A: Denied.\nA: x.exe exited with code 3, which is not a success code (0,502)\n"},
    {kCmd,
     {},
     {0, 0, ERROR_FILE_NOT_FOUND, 0},
     ERROR_INSTALL_FAILURE,
     A_RUNNING L"A: cannot start x.exe: error 2*"},
    {L"timeout=2;cmd=x.exe",
     {{0, "waiting [for] it\r\n"}, {1500, "still"}},
     {kNever, 0, 0, 0},
     ERROR_INSTALL_FAILURE,
     L"RunTool: running x.exe\nRunTool: waiting [for] it\nRunTool: still\n"
     L"RunTool: x.exe still running after 2 seconds; x.exe terminated\n"},
    {kCmd,
     {{0, "step 1\r\n"}, {9000, "step 2\r\n"}},
     {kNever, 0, 0, 2},
     ERROR_INSTALL_USEREXIT,
     A_RUNNING L"A: step 1\nA: installation cancelled; x.exe terminated\n"},
    {kCmd,
     {},
     {kNever, 0, 0, 2},
     ERROR_INSTALL_USEREXIT,
     A_RUNNING L"A: installation cancelled; x.exe terminated\n"},
    {L"secret;cmd=\"C:\\t\\acctmgr.exe\" -uSvc -s;stdin=p;w=d",
     {{0, "ok\r\n"}},
     {5, 0, 0, 0},
     ERROR_SUCCESS,
     L"RunTool: running a secret command line (not logged)\nRunTool: ok\n"
     L"RunTool: the tool exited with code 0\n"},
    {L"codes=x;cmd=x.exe",
     {},
     {0, 0, 0, 0},
     ERROR_INSTALL_FAILURE,
     L"RunTool: invalid CustomActionData: bad code list \"x\" (decimal exit codes, "
     L"comma-separated); the tool is not started\n"},
};

TEST(ToolrunRun, LogsTheToolsLinesAndReturnsWhatItsEndMeans) {
  for (const RunCase& c : kRuns) {
    SCOPED_TRACE(wttest::Narrow(c.data));
    testing::FakePlatform f;
    f.data = c.data;
    f.output = c.output;
    f.exitAt = c.end.exitAt;
    f.exitCode = c.end.exitCode;
    f.startError = c.end.startError;
    f.cancelAtMessage = c.end.cancelAtMessage;
    EXPECT_EQ(RunTool(f, 1), c.result);
    const std::wstring want = c.log, log = f.Log();
    const size_t exact = want.back() == L'*' ? want.size() - 1 : std::wstring::npos;
    EXPECT_EQ(log.substr(0, exact), want.substr(0, exact)) << wttest::Narrow(log);
    EXPECT_TRUE(f.AllReleased());
    EXPECT_EQ(f.startProblem, "");
    EXPECT_FALSE(f.started && !f.ToolDone()) << "the tool was left running";
    EXPECT_TRUE(!f.terminated || f.jobTerminated);
    if (c.end.exitAt == kNever) {
      EXPECT_EQ(f.terminatedAfter, c.end.cancelAtMessage == 0 ? 2000u
                                   : c.output.empty()         ? kAskMs
                                                              : 0u);
    }
    // Each of the tool's lines also went to the progress dialog.
    for (size_t i = 1; i < f.messages.size(); ++i) {
      if (f.messages[i].type == INSTALLMESSAGE_ACTIONDATA) {
        EXPECT_EQ(f.messages[i].text, f.messages[i - 1].text);
      }
    }
    // The stdin text reaches the tool alone (after it, the end of its input);
    // a secret command line reaches no record.
    const Request r = ParseActionData(c.data).request;
    const std::string input = r.hasStdin ? wttest::Narrow(r.stdinText) + "\r\n" : "";
    EXPECT_TRUE(!f.started || (f.stdinBytes == input && f.stdinClosedAtStart));
    for (const std::wstring& s : f.recordStrings) {
      EXPECT_TRUE((!r.hasStdin || s.find(r.stdinText) == std::wstring::npos) &&
                  (!r.secret || s.find(L"acctmgr") == std::wstring::npos))
          << wttest::Narrow(s);
    }
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
  testing::FakePlatform f;
  f.data = L"cmd=x.exe";
  f.output = {{0, std::string(bytes) + "\r\n"}};
  EXPECT_EQ(RunTool(f, 1), UINT{ERROR_SUCCESS});
  EXPECT_NE(f.Log().find(L"RunTool: " + name + L"\n"), std::wstring::npos);
}

}  // namespace
}  // namespace toolrun
