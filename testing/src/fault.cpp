#include "wttest/fault.h"

#include <cstdio>
#include <cstdlib>
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

namespace {

// A call site: "Name" (first 0: every call of Name), "Name#k" or "Name#k-m".
struct Site {
  std::string name;
  long first = 0, last = 0;
};
Site Parse(const std::string& text) {
  const size_t hash = text.find('#');
  Site site{text.substr(0, hash)};
  if (hash == std::string::npos) return site;
  char* end = nullptr;
  site.first = site.last = std::strtol(text.c_str() + hash + 1, &end, 10);
  if (*end == '-') site.last = std::strtol(end + 1, nullptr, 10);
  return site;
}

// The call sites a page names that the clean run did not make ("Name" must
// be made exactly once, "Name#k-m" at least m times).
std::string Unmade(const Page& page) {
  std::vector<std::string> sites = page.passedOver;
  for (const auto& meaning : page.meanings) sites.push_back(meaning.first);
  std::string unmade;
  for (const std::string& text : sites) {
    const Site site = Parse(text);
    const auto it = State().seen.find(site.name);
    const int made = it == State().seen.end() ? 0 : it->second;
    if (site.first == 0 ? made != 1 : site.first < 1 || site.last < site.first || site.last > made)
      unmade += " " + text + " (" + std::to_string(made) + " made)";
  }
  return unmade;
}

}  // namespace

bool FailedOneOf(const std::vector<std::string>& sites) {
  const Injector& s = State();
  if (!s.failed) return false;
  for (const std::string& text : sites) {
    const Site site = Parse(text);
    if (site.name == s.failed &&
        (site.first == 0 || (s.failedNth >= site.first && s.failedNth <= site.last)))
      return true;
  }
  return false;
}

::testing::AssertionResult Judge(const Page& page, const std::string& result) {
  Injector& s = State();
  if (s.failAt == 0) {
    s.clean = {s.seen, result, true};
    if (!page.clean.Is(result))
      return ::testing::AssertionFailure() << "the clean run ended with " << result << ", not with "
                                           << (page.clean.kind ? "its kind" : page.clean.text);
    const std::string unmade = Unmade(page);
    if (!unmade.empty())
      return ::testing::AssertionFailure() << "the page names call sites not made:" << unmade;
    return ::testing::AssertionSuccess();
  }
  if (!s.failed) return ::testing::AssertionSuccess();  // the sweep reports it
  const bool listed = page.listed.count(result) || (page.alsoListed && page.alsoListed(result));
  if (result == s.clean.result && !listed) {
    if (s.failedRelease || FailedOneOf(page.passedOver)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "ended as if nothing had failed: " << result;
  }
  if (!listed) return ::testing::AssertionFailure() << "result " << result << " is not on the page";
  for (const auto& [site, results] : page.meanings) {
    if (FailedOneOf({site}) && !results.count(result))
      return ::testing::AssertionFailure()
             << "result " << result << " does not say " << site << " failed";
  }
  return ::testing::AssertionSuccess();
}

void Tally::Sweep(const std::string& path, const std::function<::testing::AssertionResult()>& run) {
  State().Reset(0);
  const ::testing::AssertionResult clean = run();
  const int calls = State().calls;
  EXPECT_TRUE(clean) << deliverable_ << ": " << path << " without a failure";
  EXPECT_TRUE(State().clean.judged) << deliverable_ << ": " << path << " was not judged";
  EXPECT_GT(calls, 0) << deliverable_ << ": " << path << " made no counted call";
  for (int k = 1; k <= calls; ++k) {
    State().Reset(k);
    const ::testing::AssertionResult verdict = run();
    const std::string failed =
        State().failed ? State().failed + ("#" + std::to_string(State().failedNth)) : "(none)";
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
