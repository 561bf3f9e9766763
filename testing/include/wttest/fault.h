// Fault injection through a platform table: every call made to fail in turn.
//
// A FaultTable wraps a subsystem's table of function pointers (the scripted
// fake's, or the real functions). Each entry the test names becomes a thunk
// of exactly the entry's type that counts the call and forwards it, except
// the k-th counted call, which is not forwarded and fails the way that
// function reports failure:
//
//   kByType   a BOOL, int or count gives 0, a handle or pointer null, each
//             with the code as last error; a LONG return is a registry
//             status and gives the code itself
//   kZero     0 with the last error whatever the type (an LRESULT, which is
//             a LONG in 32-bit code)
//   kAllOnes  all bits set with the last error (INVALID_FILE_SIZE)
//   kInvalidHandle   INVALID_HANDLE_VALUE with the last error (CreateFileW,
//             FindFirstFileW)
//   kStatus   the code itself as result, last error untouched (LSTATUS,
//             NET_API_STATUS)
//   kHresult  HRESULT_FROM_WIN32(code)
//   kNtStatus the NT status of code (Lsa*)
//   kNever    cannot fail (Sleep, GetTickCount, output): forwarded, not counted
//   kLastError  the table's GetLastError entry: it answers the injected code
//             until the next forwarded call, as the real one would
//
// A release entry (AddRelease) is made and then reports failure: the caller
// must not release again, and the object is gone either way, so a failed
// release may always end as the clean run did.
//
// C++ cannot walk a struct's members, so a test names each entry once:
//
//   wttest::fault::FaultTable<Platform> faults(fake);
//   faults.Add<&Platform::OpenServiceW>("OpenServiceW");
//   faults.Add<&Platform::Sleep>("Sleep", Fails::kNever);
//   EXPECT_TRUE(faults.Complete());   // every entry named, none twice
//   Operation(faults.table(), ...);
//
// Counting is shared by every wrapped table (the platform table and the JNI
// function table count in one sequence). Sweep() runs a path once cleanly to
// learn its number n of counted calls, then n times with call 1..n failing.
// One wrapper per table type at a time: the thunks keep their target in
// static storage. Single-threaded.
//
// A Page says what one path may end with (see Page below):
//
//   const Page kStop = {"0",                       // the clean run's result
//                       {"3", "4", "10"},          // what a failure may end with
//                       nullptr,
//                       {{"OpenServiceW#2", {"3"}}, {"ControlService", {"4"}}},
//                       {"QueryServiceStatusEx#1"}};  // may end as the clean run
//   return Judge(kStop, std::to_string(exit));
//
// A call site is "Name#k", the k-th call of Name on that path, "Name#k-m"
// its k-th to m-th, or "Name" when the path calls Name once (the clean run
// checks that, and that every call site a page names is one the path makes).
//
// Changes from the earlier form of this header, to convert a sweep:
//   - Page starts with the clean run's result (a text, or a predicate for
//     what the machine decides); a clean run that ends otherwise fails.
//   - Page::meanings and Page::passedOver name call sites, not functions;
//     passedOver holds std::string. Releases need not be listed.
//   - Page::cleanSucceeds is gone: a failure may end as the clean run did
//     when that result is listed, or when its call site is passed over.
//   - Judge(page, result) takes no "clean" string: the harness keeps the
//     clean run's result itself.
//   - Complete() returns an AssertionResult naming an entry given twice, a
//     name given to two entries, or how many entries are unnamed.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

// va_list carries a type attribute that template arguments drop, harmlessly:
// FormatMessage's entries name va_list*.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-attributes"
#endif

namespace wttest::fault {

enum class Fails {
  kByType,
  kZero,
  kAllOnes,
  kInvalidHandle,
  kStatus,
  kHresult,
  kNtStatus,
  kNever,
  kLastError
};

// The shared count and the one failure of a run.
struct Injector {
  int calls = 0;                 // counted calls made so far
  int failAt = 0;                // the counted call to fail, from 1; 0: none
  const char* failed = nullptr;  // the entry that was made to fail
  DWORD code = 0;                // its code
  bool lastErrorPending = false;
  // A JNI function was made to fail: the VM now has an exception pending,
  // and the only JNI calls allowed until the native method returns are the
  // releases (JNI specification, "Exceptions"). Other JNI calls seen then:
  bool exceptionPending = false;
  std::vector<std::string> callsWithException;
  std::map<std::string, int> seen;  // counted calls so far, by name
  int failedNth = 0;                // the failed call was the failedNth of its name
  bool failedRelease = false;       // and a release

  // What the clean run of the path being swept made and ended with: a
  // failing run keeps it.
  struct Clean {
    std::map<std::string, int> seen;
    std::string result;
    bool judged = false;
  } clean;

  void Reset(int failCall) {
    Clean kept = failCall ? std::move(clean) : Clean{};
    *this = Injector{};
    clean = std::move(kept);
    failAt = failCall;
  }
};
Injector& State();

// How one entry fails.
struct EntryInfo {
  const char* name = "";
  Fails fails = Fails::kByType;
  DWORD code = ERROR_ACCESS_DENIED;
  // A release (CloseHandle, RegCloseKey, LocalFree...): the call is made,
  // then reports failure. What a caller must do is not release again; the
  // object it held is gone either way.
  bool release = false;
  bool jni = false;  // a function of the JNI environment
};

// The NT status that stands for a Win32 code (the ones tests inject).
LONG NtStatusFor(DWORD code);

template <typename R>
R FailureValue(const EntryInfo& e) {
  if constexpr (std::is_pointer_v<R>) {
    if (e.fails == Fails::kInvalidHandle) return reinterpret_cast<R>(INVALID_HANDLE_VALUE);
    return nullptr;
  } else if constexpr (std::is_same_v<R, bool>) {
    return false;
  } else if constexpr (std::is_integral_v<R>) {
    switch (e.fails) {
      case Fails::kStatus:
        return static_cast<R>(e.code);
      case Fails::kHresult:
        return static_cast<R>(HRESULT_FROM_WIN32(e.code));
      case Fails::kNtStatus:
        return static_cast<R>(NtStatusFor(e.code));
      case Fails::kZero:
        return R{};
      case Fails::kAllOnes:
        return static_cast<R>(~R{});
      default:
        // A LONG result is a registry status (LSTATUS).
        if constexpr (std::is_same_v<R, long>) return static_cast<R>(e.code);
        return R{};
    }
  } else {
    return R{};
  }
}

// True when the result reports its error itself rather than in the last error.
template <typename R>
bool ReturnsItsCode(const EntryInfo& e) {
  if (e.fails == Fails::kStatus || e.fails == Fails::kHresult || e.fails == Fails::kNtStatus)
    return true;
  return e.fails == Fails::kByType && std::is_same_v<R, long>;
}

// The failure of a call with these arguments: a release that returns a
// pointer (LocalFree, FreeSid) gives back the one it was handed.
template <typename R, typename... A>
R FailureFor(const EntryInfo& e, A... a) {
  if constexpr (std::is_void_v<R>) {
    return;
  } else {
    if constexpr (std::is_pointer_v<R> && sizeof...(A) == 1 && (std::is_pointer_v<A> && ...)) {
      if (e.release) return ((R)(a), ...);
    }
    return FailureValue<R>(e);
  }
}

// What every thunk does: count, then forward or fail.
template <typename R, typename Forward, typename Failure>
R Intercept(const EntryInfo& e, Forward forward, Failure failure) {
  Injector& s = State();
  if (e.jni && s.exceptionPending && !e.release) s.callsWithException.push_back(e.name);
  if constexpr (std::is_same_v<R, DWORD>) {
    if (e.fails == Fails::kLastError && s.lastErrorPending) return s.code;
  }
  if (e.fails == Fails::kNever || e.fails == Fails::kLastError) return forward();
  if constexpr (std::is_void_v<R>) {
    return forward();
  } else {
    const int nth = ++s.seen[e.name];
    if (++s.calls != s.failAt) {
      s.lastErrorPending = false;
      return forward();
    }
    if (e.release) forward();
    s.exceptionPending |= e.jni;
    s.failed = e.name;
    s.failedNth = nth;
    s.failedRelease = e.release;
    s.code = e.code;
    if (!ReturnsItsCode<R>(e)) {
      s.lastErrorPending = true;
      ::SetLastError(e.code);
    }
    return failure();
  }
}

template <typename R, typename Forward>
R Intercept(const EntryInfo& e, Forward forward) {
  return Intercept<R>(e, forward, [&]() -> R { return FailureFor<R>(e); });
}

// A thunk per Key with the function type Fn; its target and manner of
// failure live in static storage.
template <typename Key, typename Fn>
struct Thunk;

template <typename Key, typename R, typename... A>
struct Thunk<Key, R (*)(A...)> {
  static inline R (*target)(A...) = nullptr;
  static inline EntryInfo info;
  static R Call(A... a) {
    return Intercept<R>(
        info, [&]() -> R { return target(a...); },
        [&]() -> R { return FailureFor<R>(info, a...); });
  }
};

#if defined(_M_IX86) || defined(__i386__)
// The Win32 and JNI entries of 32-bit Windows are stdcall; the thunk must be too.
template <typename Key, typename R, typename... A>
struct Thunk<Key, R(WINAPI*)(A...)> {
  static inline R(WINAPI* target)(A...) = nullptr;
  static inline EntryInfo info;
  static R WINAPI Call(A... a) {
    return Intercept<R>(
        info, [&]() -> R { return target(a...); },
        [&]() -> R { return FailureFor<R>(info, a...); });
  }
};
#endif

template <auto Member>
struct MemberKey {};

template <typename M>
struct MemberFunction;
template <typename T, typename F>
struct MemberFunction<F T::*> {
  using type = F;
};

// A function found at run time (GetProcAddress) counted like an entry: the
// test gives each one a key type of its own.
template <typename Key, typename Fn>
Fn Counted(Fn target, const char* name, Fails fails = Fails::kByType,
           DWORD code = ERROR_ACCESS_DENIED) {
  if (!target) return nullptr;
  Thunk<Key, Fn>::target = target;
  Thunk<Key, Fn>::info = {name, fails, code};
  return &Thunk<Key, Fn>::Call;
}

template <typename Table>
class FaultTable {
 public:
  explicit FaultTable(const Table& inner) : inner_(inner), wrapped_(inner) {}

  template <auto Member>
  FaultTable& Add(const char* name, Fails fails = Fails::kByType, DWORD code = ERROR_ACCESS_DENIED,
                  bool release = false) {
    using Fn = typename MemberFunction<decltype(Member)>::type;
    using T = Thunk<MemberKey<Member>, Fn>;
    T::target = inner_.*Member;
    T::info = {name, fails, code, release};
    wrapped_.*Member = &T::Call;
    const size_t slot = static_cast<size_t>(reinterpret_cast<const char*>(&(wrapped_.*Member)) -
                                            reinterpret_cast<const char*>(&wrapped_)) /
                        sizeof(void*);
    if (!named_.emplace(slot, name).second || !names_.insert(name).second)
      twice_ += std::string(" ") + name;
    return *this;
  }

  // How an entry fails, to adjust after Add.
  template <auto Member>
  static EntryInfo& Info() {
    return Thunk<MemberKey<Member>, typename MemberFunction<decltype(Member)>::type>::info;
  }

  // A release entry: see EntryInfo::release.
  template <auto Member>
  FaultTable& AddRelease(const char* name, Fails fails = Fails::kByType) {
    return Add<Member>(name, fails, ERROR_ACCESS_DENIED, true);
  }

  // Every entry of the table named, each once and by a name of its own (all
  // entries are function pointers).
  ::testing::AssertionResult Complete() const {
    if (!twice_.empty()) return ::testing::AssertionFailure() << "named twice:" << twice_;
    const size_t entries = sizeof(Table) / sizeof(void*);
    if (named_.size() == entries) return ::testing::AssertionSuccess();
    ::testing::AssertionResult unnamed = ::testing::AssertionFailure();
    unnamed << entries - named_.size() << " entries not named, at";
    for (size_t i = 0; i < entries; ++i)
      if (!named_.count(i)) unnamed << " " << i;
    return unnamed;
  }
  const Table& table() const { return wrapped_; }
  // The table for the code under test, whose every entry must be named.
  operator const Table&() const {
    EXPECT_TRUE(Complete()) << "in the platform table";
    return wrapped_;
  }

 private:
  Table inner_;
  Table wrapped_;
  std::map<size_t, std::string> named_;  // slot -> name
  std::set<std::string> names_;
  std::string twice_;  // entries or names given twice
};

// (path, call) pairs failed and ended as documented, per deliverable.
class Tally {
 public:
  explicit Tally(std::string deliverable) : deliverable_(std::move(deliverable)) {}
  ~Tally();  // prints the figures

  // Runs path cleanly (it must succeed: run returns its verdict), then once
  // per counted call with that call failing. run's verdict says whether the
  // run ended as documented; State() tells it which call failed.
  void Sweep(const std::string& path, const std::function<::testing::AssertionResult()>& run);

  // Sweep against the real functions: the process's handles are counted
  // before and after all runs of the path (under Wine a count costs as much
  // as a run); when they differ, the path is swept again counting them run
  // by run, which names the call.
  void SweepCountingHandles(const std::string& path,
                            const std::function<::testing::AssertionResult()>& run);
  // The same over several paths, the handles counted once around them all
  // (and, on a difference, path by path and run by run).
  using Paths = std::vector<std::pair<std::string, std::function<::testing::AssertionResult()>>>;
  void SweepCountingHandles(const Paths& paths);

  int tried() const { return tried_; }
  int documented() const { return documented_; }

 private:
  std::string deliverable_;
  int tried_ = 0;
  int documented_ = 0;
};

// A result the page gives: this text, or any text a predicate accepts (for
// what the machine decides: its name, its version).
struct Result {
  Result(const char* text) : text(text) {}
  Result(std::string text) : text(std::move(text)) {}
  Result(bool (*kind)(const std::string&)) : kind(kind) {}
  bool Is(const std::string& r) const { return kind ? kind(r) : r == text; }
  std::string text;
  bool (*kind)(const std::string&) = nullptr;
};

// What a tool's page says of one path, for Judge. Results are text: an exit
// code or a method's result ("1", "null", a string). Call sites: see the top.
struct Page {
  Result clean;  // the result of the clean run
  // Results the page lists for a failure on this path; a result that
  // passes also counts.
  std::set<std::string> listed = {};
  std::function<bool(const std::string&)> alsoListed = nullptr;
  // The results the page gives for the failure of a call site.
  std::map<std::string, std::set<std::string>> meanings = {};
  // Call sites whose failure may end as the clean run did: message texts,
  // optional lookups, what the tool's rules pass over (releases always may).
  std::vector<std::string> passedOver = {};
};

// The verdict on one run's result. The clean run must end with page.clean,
// and every call site the page names must be one it makes; after a failure
// the result must be listed (or the clean run's, when that is listed or the
// call site passed over) and be one the page gives for the failed call site.
::testing::AssertionResult Judge(const Page& page, const std::string& result);

// WT_FAULT_ENTRIES(t, Table, fails, A, B, ...) adds the entries A, B, ... of
// Table, failing as fails says with ERROR_ACCESS_DENIED; WT_FAULT_MEMORY adds
// entries that fail by type with ERROR_NOT_ENOUGH_MEMORY (allocations,
// conversions, loads); WT_FAULT_RELEASES adds releases.
#define WT_FAULT_ENTRIES(t, T, f, ...) \
  WT_FAULT_EACH(t, T, f, ERROR_ACCESS_DENIED, false, __VA_ARGS__)
#define WT_FAULT_MEMORY(t, T, ...) \
  WT_FAULT_EACH(t, T, ::wttest::fault::Fails::kByType, ERROR_NOT_ENOUGH_MEMORY, false, __VA_ARGS__)
#define WT_FAULT_RELEASES(t, T, f, ...) \
  WT_FAULT_EACH(t, T, f, ERROR_ACCESS_DENIED, true, __VA_ARGS__)

// The failed call is one of these call sites ("Name" matches every call of
// Name here), for a test's own checks of what a run left behind.
bool FailedOneOf(const std::vector<std::string>& sites);

}  // namespace wttest::fault

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// The machinery of WT_FAULT_ENTRIES: one Add per name, up to 24.
#define WT_FAULT_X(x) x
#define WT_FAULT_E1(t, T, f, c, r, m) t.Add<&T::m>(#m, f, c, r);
#define WT_FAULT_E2(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E1(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E3(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E2(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E4(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E3(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E5(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E4(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E6(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E5(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E7(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E6(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E8(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E7(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E9(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E8(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E10(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E9(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E11(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E10(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E12(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E11(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E13(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E12(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E14(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E13(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E15(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E14(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E16(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E15(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E17(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E16(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E18(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E17(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E19(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E18(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E20(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E19(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E21(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E20(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E22(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E21(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E23(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E22(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_E24(t, T, f, c, r, m, ...) \
  WT_FAULT_E1(t, T, f, c, r, m) WT_FAULT_X(WT_FAULT_E23(t, T, f, c, r, __VA_ARGS__))
#define WT_FAULT_PICK(_1, _2, _3, _4, _5, _6, _7, _8, _9, _10, _11, _12, _13, _14, _15, _16, _17, \
                      _18, _19, _20, _21, _22, _23, _24, N, ...)                                  \
  N
#define WT_FAULT_EACH(t, T, f, c, r, ...)                                                        \
  WT_FAULT_X(WT_FAULT_PICK(__VA_ARGS__, WT_FAULT_E24, WT_FAULT_E23, WT_FAULT_E22, WT_FAULT_E21,  \
                           WT_FAULT_E20, WT_FAULT_E19, WT_FAULT_E18, WT_FAULT_E17, WT_FAULT_E16, \
                           WT_FAULT_E15, WT_FAULT_E14, WT_FAULT_E13, WT_FAULT_E12, WT_FAULT_E11, \
                           WT_FAULT_E10, WT_FAULT_E9, WT_FAULT_E8, WT_FAULT_E7, WT_FAULT_E6,     \
                           WT_FAULT_E5, WT_FAULT_E4, WT_FAULT_E3, WT_FAULT_E2,                   \
                           WT_FAULT_E1)(t, T, f, c, r, __VA_ARGS__))
