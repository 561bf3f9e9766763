// A scripted installer and tool for the RunTool operation, on a virtual
// clock: the action's data, the tool's output over time, its exit (or
// none), a failed start, a cancel; every handle and record counted.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform.h"

namespace toolrun::testing {

inline constexpr DWORD kNever = 0xFFFFFFFF;

struct Chunk {
  DWORD at;  // ms after the tool's start
  std::string bytes;
};

struct Message {
  INSTALLMESSAGE type;
  std::wstring text;
};

class FakePlatform {
 public:
  FakePlatform();
  ~FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;
  operator const Platform&() const { return table_; }

  // The script.
  std::wstring data;          // CustomActionData
  std::vector<Chunk> output;  // what the tool prints
  DWORD exitAt = 0;           // ms after its start, or kNever
  DWORD exitCode = 0;
  DWORD startError = 0;     // CreateProcessW fails with it
  int cancelAtMessage = 0;  // this message (from 1) and every later one: IDCANCEL

  // What happened.
  std::vector<Message> messages;
  std::vector<std::wstring> recordStrings;  // every string set into a record
  std::wstring commandLine;                 // as CreateProcessW got it
  bool started = false;
  bool stdinClosedAtStart = false;
  std::string stdinBytes;
  std::string startProblem;  // how the start broke the handle rules, if it did
  bool terminated = false;
  bool jobTerminated = false;
  DWORD terminatedAfter = 0;  // ms after the start

  // The INFO texts, one per line.
  std::wstring Log() const;
  bool ToolDone() const;
  ::testing::AssertionResult AllReleased() const;

  // For the table's entries.
  static FakePlatform& Current();
  enum class Kind { kPipeRead, kPipeWrite, kJob, kProcess, kThread };
  struct Object {
    Kind kind;
    int pipe = -1;
    bool inheritable = false;
  };
  struct Pipe {
    std::string data;
    size_t read = 0;
    int writers = 1;
  };
  HANDLE Open(Kind kind, int pipe = -1);
  Object* Find(HANDLE h);
  bool Exited() const;

  DWORD now = 0xFFFFFF00;  // near the wrap of GetTickCount
  DWORD startTick = 0;
  bool resumed = false;
  std::map<HANDLE, Object> open;
  std::vector<Pipe> pipes;
  int outPipe = -1;
  std::map<MSIHANDLE, std::map<UINT, std::wstring>> records;
  MSIHANDLE nextRecord = 100;
  uintptr_t nextHandle = 0x1000;
  int attributeLists = 0;
  std::vector<HANDLE> handleList;

 private:
  Platform table_;
};

}  // namespace toolrun::testing
