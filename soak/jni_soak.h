// Soaks the JNI libraries: every method called many times in one process with
// realistic arguments, the process's handle count, its private bytes and the
// JNI host's unreleased strings taken before and after. Shared by the soak
// test and bench/soak.
//
// Every batch of calls gets a fresh JNI host (the host keeps each object it
// made until it is destroyed): what the host holds is not counted as the
// library's. Standard output goes to a scratch file while the calls run,
// because some methods log on every call.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wttest/jnihost.h"

namespace soak {

// GetProcessHandleCount and PROCESS_MEMORY_COUNTERS_EX::PrivateUsage. Where
// they answer 0 (Wine does), the handles are counted in the system's handle
// table and the private bytes summed over the committed private regions.
struct ProcessFigures {
  DWORD handles = 0;
  SIZE_T privateBytes = 0;
  bool handlesCounted = false;      // from the system handle table
  bool privateBytesSummed = false;  // from the committed private regions
};
ProcessFigures Measure();

// One method of a library with the arguments a caller would pass. call makes
// one call (plus whatever preparation the call needs, such as a file to
// delete) and returns whether the result was the one expected.
struct Method {
  std::string name;
  std::function<bool(const wttest::JniLibrary&, wttest::JniHost&, int iteration)> call;
};

// A library's methods and the files and keys they work on, which the
// destructor removes.
class Workload {
 public:
  virtual ~Workload() = default;
  virtual const wchar_t* library() const = 0;  // DLL file name
  virtual const char* exportPrefix() const = 0;
  // Empty when set-up succeeded, else why not.
  std::string setupError;
  // What was left out, if anything, and why.
  std::string note;
  std::vector<Method> methods;
};

// libHostProbe: every method but SystemShutdown, which would restart the
// machine. The font calls need the test font (WT_TEST_FONT).
std::unique_ptr<Workload> HostProbeWorkload();
// libRegKit: every method, below a key of its own in HKEY_CURRENT_USER.
std::unique_ptr<Workload> RegKitWorkload();

struct MethodResult {
  std::string name;
  int calls = 0;
  int unexpected = 0;  // calls whose result was not the expected one
  double seconds = 0;
  long handleDelta = 0;        // handle count after the method's calls minus before
  long long privateDelta = 0;  // private bytes likewise
};

struct LibraryResult {
  std::string loadError;  // empty when the library loaded
  ProcessFigures before, after;
  std::vector<MethodResult> methods;
  int outstandingChars = 0;         // summed over the hosts, at their end
  std::vector<std::string> errors;  // JNI misuse the hosts saw
  double seconds = 0;
  long long calls = 0;
};

// Loads the workload's library beside this program, warms every method up
// (warmupCalls each), takes the figures, calls each method `calls` times in
// batches of batchSize, each batch on a fresh host, and takes the figures
// again.
LibraryResult Run(Workload& workload, int calls, int warmupCalls = 200, int batchSize = 500);

}  // namespace soak
