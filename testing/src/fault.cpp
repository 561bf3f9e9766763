#include "wttest/fault.h"

#include <cstdio>
#include <cstring>

#include "wttest/platform.h"

namespace wttest::fault {

Injector& State() {
  static Injector state;
  return state;
}

LONG NtStatusFor(DWORD code) {
  switch (code) {
    case ERROR_ACCESS_DENIED:
      return static_cast<LONG>(0xC0000022L);  // STATUS_ACCESS_DENIED
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return static_cast<LONG>(0xC0000017L);  // STATUS_NO_MEMORY
    default:
      return static_cast<LONG>(0xC0000001L);  // STATUS_UNSUCCESSFUL
  }
}

::testing::AssertionResult Judge(const Page& page, const std::string& result, std::string* clean) {
  if (!State().failed) {
    *clean = result;
    return ::testing::AssertionSuccess();
  }
  if (result == *clean) {
    if (page.cleanSucceeds) {
      if (!FailedOneOf(page.passedOver))
        return ::testing::AssertionFailure() << "ended as if nothing had failed: " << result;
      return ::testing::AssertionSuccess();  // a call whose failure the page lets pass
    }
  } else if (!page.listed.count(result) && !(page.alsoListed && page.alsoListed(result))) {
    return ::testing::AssertionFailure() << "result " << result << " is not on the page";
  }
  const auto means = page.meanings.find(State().failed);
  if (means != page.meanings.end() && !means->second.count(result))
    return ::testing::AssertionFailure() << "result " << result << " does not say what failed";
  return ::testing::AssertionSuccess();
}

bool FailedOneOf(const std::vector<const char*>& names) {
  const char* failed = State().failed;
  if (!failed) return false;
  for (const char* name : names) {
    if (std::strcmp(name, failed) == 0) return true;
  }
  return false;
}

void Tally::Sweep(const std::string& path, const std::function<::testing::AssertionResult()>& run) {
  State().Reset(0);
  const ::testing::AssertionResult clean = run();
  const int calls = State().calls;
  EXPECT_TRUE(clean) << deliverable_ << ": " << path << " without a failure";
  EXPECT_GT(calls, 0) << deliverable_ << ": " << path << " made no counted call";
  for (int k = 1; k <= calls; ++k) {
    State().Reset(k);
    const ::testing::AssertionResult verdict = run();
    const char* failed = State().failed ? State().failed : "(none)";
    ++tried_;
    const std::vector<std::string>& jni = State().callsWithException;
    if (!State().failed) {
      ADD_FAILURE() << deliverable_ << ": " << path << ", call " << k << " never came";
    } else if (!jni.empty()) {
      ADD_FAILURE() << deliverable_ << ": " << path << ", call " << k << " (" << failed
                    << " failing): " << jni.front() << " called with the exception pending";
    } else if (verdict) {
      ++documented_;
    } else {
      ADD_FAILURE() << deliverable_ << ": " << path << ", call " << k << " (" << failed
                    << " failing): " << verdict.message();
    }
  }
  State().Reset(0);
}

void Tally::SweepCountingHandles(const std::string& path,
                                 const std::function<::testing::AssertionResult()>& run) {
  const unsigned long before = ProcessHandleCount();
  Sweep(path, run);
  const unsigned long after = ProcessHandleCount();
  if (after == before) return;
  ADD_FAILURE() << deliverable_ << ": " << path << " held " << before
                << " handles before its runs, " << after << " after";
  Tally again(deliverable_ + ", handles counted run by run");
  again.Sweep(path, [&]() -> ::testing::AssertionResult {
    const unsigned long start = ProcessHandleCount();
    ::testing::AssertionResult verdict = run();
    const unsigned long end = ProcessHandleCount();
    if (verdict && end != start)
      return ::testing::AssertionFailure() << "handles " << start << " before, " << end << " after";
    return verdict;
  });
}

void Tally::SweepCountingHandles(const Paths& paths) {
  const unsigned long before = ProcessHandleCount();
  for (const auto& [path, run] : paths) Sweep(path, run);
  const unsigned long after = ProcessHandleCount();
  if (after == before) return;
  ADD_FAILURE() << deliverable_ << ": " << before << " handles before the runs, " << after
                << " after";
  Tally again(deliverable_ + ", handles counted path by path");
  for (const auto& [path, run] : paths) again.SweepCountingHandles(path, run);
}

Tally::~Tally() {
  std::printf("%s: %d (path, call) pairs failed, %d ended as documented\n", deliverable_.c_str(),
              tried_, documented_);
  std::fflush(stdout);
}

}  // namespace wttest::fault
