// Starting a program as a real process and capturing what it does.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace wttest {

struct ProcessResult {
  std::string out;          // standard output, the bytes as written
  std::string err;          // standard error, the bytes as written
  DWORD exitCode = 0;
  bool started = false;     // CreateProcessW succeeded
  DWORD startError = 0;     // its error code when it did not
  bool timedOut = false;    // killed after the timeout
};

struct ProcessOptions {
  std::string input;                            // written to standard input, then closed
  DWORD timeoutMs = 60000;
  std::map<std::wstring, std::wstring> setEnv;  // variables added or replaced
  std::vector<std::wstring> unsetEnv;           // variables removed
  std::wstring workingDirectory;                // empty: the caller's
};

// Starts application with the complete command line commandLine (argument 0
// included, already quoted), feeds the input and collects both output streams
// until the process ends or the timeout kills it. The streams are temporary
// files, read back when the process has ended: the caller needs no threads.
ProcessResult RunProcess(const std::wstring& application,
                         const std::wstring& commandLine,
                         const ProcessOptions& options = {});

// Quotes one argument by the rules CommandLineToArgvW and the C runtime
// undo, so the program sees exactly arg.
std::wstring QuoteArgument(const std::wstring& arg);

// Joins arguments into a command line, each quoted where it needs to be.
std::wstring JoinCommandLine(std::initializer_list<std::wstring> args);

// The folder the test executable runs from (with a trailing backslash), where
// the build puts every program and DLL.
std::wstring BinaryDirectory();

// Full path of a program of this build, by file name ("acctmgr.exe").
std::wstring BuiltProgram(const std::wstring& fileName);

// Full path of a program of the other architecture's build ("x86" or "x64"):
// the two trees sit side by side (build/x86/bin, build/x64/bin).
//
// End-to-end tests of the 32-bit programs are 64-bit test processes that
// start them from the x86 tree. Where the kernel cannot run 32-bit code,
// Wine's 32-bit half runs under a user-mode emulator that is reliable for
// single-threaded 32-bit processes (the programs themselves) but not for
// multi-threaded ones (a test driver juggling a service, a concurrency test).
std::wstring ArchProgram(const std::wstring& arch, const std::wstring& fileName);

}  // namespace wttest
