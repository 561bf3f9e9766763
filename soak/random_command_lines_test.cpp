// Every console program started with random command lines: prefixes of its
// option words, empty words, quotes, characters outside ASCII (lone
// surrogates included), lengths up to 30,000 characters. Each run must end
// with an exit code of the program's table: never an exception code, never a
// hang (a dialog waits for ever too, so it shows as one).
//
// The generator is seeded: the seed is printed first, and
//   WT_RANDOM_SEED=<seed> [WT_RANDOM_RUN=<run>] [WT_RANDOM_RUNS=<count>]
// replays a whole test or one run of it. Default: 50 runs (the test run),
// a seed from the clock; scripts/soak makes 1,000.
//
// Nothing a run names can exist: every word that may name a service, an
// account, a file or a folder starts with kToken, again after every
// backslash or slash, so no path leaves its folder or reaches a device, and
// the programs run in an empty folder of their own, which must stay empty.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cwctype>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "wttest/platform.h"
#include "wttest/process.h"

namespace {

const std::wstring kToken = L"wtRnd_";
constexpr size_t kLongestLine = 30000;  // CreateProcessW takes up to 32767

using Words = std::vector<std::wstring>;
using Rng = std::mt19937_64;

struct Program {
  const wchar_t* arch;
  const wchar_t* file;
  // The usual forms of its command lines, one letter per word: C a command
  // word, O an option, N a number, V a value, T any text, E empty; a small
  // letter x the option -x with a value. Runs use one of them, some words
  // swapped for another kind, or words of random kinds.
  std::vector<const char*> forms;
  std::vector<std::wstring> commands;  // first words
  std::vector<std::wstring> options;   // later words
  bool valueInOption;                  // "-uName": the value follows in the same word
  std::function<bool(DWORD)> inTable;
  bool silentStderr;  // its page promises nothing on standard error
  // The positions that name a service, file or folder (given the words):
  // always a generated value there, empty only where allowed.
  std::function<std::set<size_t>(const Words&)> names;
  bool emptyNameAllowed;
};

bool OneOf(DWORD code, std::initializer_list<int> codes) {
  for (int c : codes)
    if (code == static_cast<DWORD>(c)) return true;
  return false;
}

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

std::set<size_t> First(const Words&) { return {0}; }

const Program& ProgramNamed(const std::string& name) {
  static const std::map<std::string, Program> programs = {
      {"acctmgr",
       {L"x86",
        L"acctmgr.exe",
        {"C", "Cu", "Cup", "Cudp", "Cus", "Cug", "Crru", "Cr", "COOO"},
        {L"-aur", L"-cupw", L"-cunpw", L"-cug", L"-cuadmin"},
        {L"-u", L"-d", L"-p", L"-s", L"-g", L"-r"},
        true,
        [](DWORD c) {
          return c <= 2 || (c >= 101 && c <= 106) || OneOf(c, {200, 201, 202, 204, 205}) ||
                 (c >= 210 && c <= 219) || (c >= 300 && c <= 308) || (c >= 400 && c <= 402);
        },
        false,
        // Account, domain, group and right names are all values: no real
        // account gets a right, no real password is tried.
        [](const Words&) { return std::set<size_t>{}; },
        true}},
      {"svcdefine",
       {L"x86",
        L"svcdefine.exe",
        {"V", "CV"},
        {L"-remove"},
        {},
        false,
        [](DWORD c) {
          return OneOf(c, {-1, 0, 101, 201, 202, 203, 204, 301, 302, 401, 402}) ||
                 (c >= 501 && c <= 508);
        },
        true,
        [](const Words& w) {
          if (w.size() == 2 && Lower(w[0]) == L"-remove") return std::set<size_t>{1};
          return w.size() == 1 ? std::set<size_t>{0} : std::set<size_t>{};
        },
        true}},
      {"svclaunch",
       {L"x86",
        L"svclaunch.exe",
        {"V", "VN"},
        {},
        {},
        false,
        [](DWORD c) { return c <= 11; },
        true,
        First,
        true}},
      {"svchalt",
       {L"x64",
        L"svchalt.exe",
        {"V", "VN"},
        {},
        {},
        false,
        [](DWORD c) { return c <= 13 && c != 8; },
        true,
        First,
        true}},
      // Exits with the system's error code of the failed call: any Win32
      // code, never an exception code.
      {"svcredesc",
       {L"x64",
        L"svcredesc.exe",
        {"VT"},
        {},
        {},
        false,
        [](DWORD c) { return c == 0xFFFFFFFFu || c < 16000; },
        true,
        First,
        true}},
      {"linkforge",
       {L"x64",
        L"linkforge.exe",
        {"CV", "CVV"},
        {L"-create", L"-delete", L"-deleteall"},
        {},
        false,
        [](DWORD c) {
          return OneOf(c, {0, -1, -2, -3, -6, -95, -96, -97, -98, -99});
        },
        false,
        [](const Words& w) {
          if (w.size() < 2) return std::set<size_t>{};
          const std::wstring command = Lower(w[0]);
          if (command == L"-delete")
            return w.size() > 2 ? std::set<size_t>{1, 2} : std::set<size_t>{1};
          if (command == L"-create" || command == L"-deleteall") return std::set<size_t>{1};
          return std::set<size_t>{};
        },
        false}},
  };
  return programs.at(name);
}

// The characters of generated text, by kind; drawn with weights below.
wchar_t Character(Rng& rng) {
  static const std::wstring plain =
      L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
  static const std::wstring punctuation = L" \t\"\\/-=%{}.:*?<>|^&';,@!()[]#$~`+";
  static const std::wstring wide =
      L"\u00e9\u00fc\u00df\u00ff\u00a0\u0416\u05d0\u0627\u4e2d\u6587"
      L"\u3042\ufeff\ufffd\uffff\u202e\u2028";
  const unsigned kind = rng() % 100;
  if (kind < 55) return plain[rng() % plain.size()];
  if (kind < 80) return punctuation[rng() % punctuation.size()];
  if (kind < 93) return wide[rng() % wide.size()];
  if (kind < 97) return static_cast<wchar_t>(1 + rng() % 31);  // control characters, no NUL
  return static_cast<wchar_t>((rng() % 2 ? 0xD800 : 0xDC00) + rng() % 0x400);  // a lone surrogate
}

size_t Length(Rng& rng) {
  const unsigned r = rng() % 100;
  if (r < 70) return rng() % 12;
  if (r < 95) return 12 + rng() % 300;
  return 1000 + rng() % 28000;
}

// kToken and random text, kToken again after every separator.
std::wstring Value(Rng& rng) {
  std::wstring v = kToken;
  const size_t n = Length(rng);
  for (size_t i = 0; i < n; ++i) {
    wchar_t c = Character(rng);
    // Half the time a surrogate pair rather than a lone half.
    if (c >= 0xD800 && c < 0xDC00 && rng() % 2) {
      v += c;
      c = static_cast<wchar_t>(0xDC00 + rng() % 0x400);
    }
    v += c;
    if (c == L'\\' || c == L'/') v += kToken;
  }
  return v;
}

std::wstring Number(Rng& rng) {
  static const wchar_t* const odd[] = {
      L"0",   L"-1", L"-2147483648", L"2147483647", L"4294967296", L"99999999999999999999",
      L"60s", L" 5", L"+3",          L"0x10",       L"1e3",        L"\u0661\u0662"};
  if (rng() % 2) return std::to_wstring(1 + rng() % 120);
  return odd[rng() % (sizeof odd / sizeof *odd)];
}

// One of words, often whole, else a prefix of it; its case sometimes changed.
std::wstring Variant(const std::vector<std::wstring>& words, Rng& rng) {
  const std::wstring& word = words[rng() % words.size()];
  std::wstring w = rng() % 10 < 7 ? word : word.substr(0, 1 + rng() % word.size());
  if (rng() % 6 == 0)
    for (size_t i = 1; i < w.size(); ++i) w[i] = static_cast<wchar_t>(std::towupper(w[i]));
  return w;
}

// An option with a value after it where the program takes one in the same
// word.
std::wstring Option(const Program& p, Rng& rng) {
  std::wstring w = Variant(p.options, rng);
  if (p.valueInOption && w.size() == 2 && rng() % 4) {
    // An encoded password starts with '{'.
    if (w == L"-p" && rng() % 3 == 0) w += L"{";
    w += Value(rng);
  }
  return w;
}

std::wstring Word(const Program& p, char kind, Rng& rng) {
  switch (kind) {
    case 'C':
      if (!p.commands.empty()) return Variant(p.commands, rng);
      break;
    case 'O':
      if (!p.options.empty()) return Option(p, rng);
      break;
    case 'N':
      return Number(rng);
    case 'T':
      return rng() % 4 ? Value(rng).substr(kToken.size()) : std::wstring();
    case 'E':
      return L"";
  }
  if (kind >= 'a' && kind <= 'z') {
    std::wstring w = {L'-', static_cast<wchar_t>(kind)};
    if (kind == 'p' && rng() % 3 == 0) w += L"{";  // an encoded password
    return kind == 's' ? w : w + Value(rng);
  }
  return Value(rng);
}

char RandomKind(Rng& rng) { return "COONVVTE"[rng() % 8]; }

Words Generate(const Program& p, Rng& rng) {
  std::string kinds;
  if (rng() % 10 < 7) {
    kinds = p.forms[rng() % p.forms.size()];
    for (char& k : kinds)
      if (rng() % 8 == 0) k = RandomKind(rng);
  } else {
    const size_t count = rng() % 3 ? rng() % 5 : 5 + rng() % 20;
    for (size_t i = 0; i < count; ++i) kinds += RandomKind(rng);
  }
  Words words;
  for (char k : kinds) words.push_back(Word(p, k, rng));
  for (size_t at : p.names(words))
    if (at < words.size() && !(p.emptyNameAllowed && words[at].empty())) {
      if (words[at].compare(0, kToken.size(), kToken) != 0) words[at] = Value(rng);
    }
  return words;
}

std::wstring CommandLine(const std::wstring& argv0, Words& words) {
  for (;;) {
    std::wstring line = argv0;
    for (const auto& w : words) line += L" " + wttest::QuoteArgument(w);
    if (line.size() <= kLongestLine) return line;
    // Too long: shorten the longest word, keeping its kToken start.
    auto longest = std::max_element(words.begin(), words.end(),
                                    [](auto& a, auto& b) { return a.size() < b.size(); });
    const size_t excess = line.size() - kLongestLine;
    longest->resize(
        std::max(kToken.size(), longest->size() - std::min(longest->size(), excess + 16)));
    // A cut may leave half a surrogate pair: fine, lone halves are generated anyway.
  }
}

std::uint64_t EnvNumber(const wchar_t* name, std::uint64_t fallback) {
  wchar_t value[64];
  const DWORD n = GetEnvironmentVariableW(name, value, 64);
  if (n == 0 || n >= 64) return fallback;
  return std::wcstoull(value, nullptr, 10);
}

std::uint64_t Mix(std::uint64_t a, std::uint64_t b) {
  std::uint64_t x = a ^ (b + 0x9E3779B97F4A7C15ull + (a << 6) + (a >> 2));
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  return x ^ (x >> 29);
}

std::string Shown(const std::wstring& line) {
  std::string s = wttest::Narrow(line.size() > 300 ? line.substr(0, 300) : line);
  return s + (line.size() > 300 ? "... (" + std::to_string(line.size()) + " characters)" : "");
}

void RunRandomCommandLines(const std::string& name) {
  const Program& p = ProgramNamed(name);
  const std::wstring path = wttest::ArchProgram(p.arch, p.file);
  ASSERT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << wttest::Narrow(path);
  const std::uint64_t seed = EnvNumber(
      L"WT_RANDOM_SEED",
      static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
          GetCurrentProcessId());
  const std::uint64_t runs = EnvNumber(L"WT_RANDOM_RUNS", 50);
  const std::uint64_t only = EnvNumber(L"WT_RANDOM_RUN", ~0ull);
  std::printf("%s: seed %llu (WT_RANDOM_SEED=%llu replays it)\n", name.c_str(),
              static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
  std::fflush(stdout);

  // An empty folder of its own as the current directory: relative paths
  // name nothing there, and anything a run leaves behind shows.
  wchar_t temp[MAX_PATH + 1];
  const std::wstring folder = std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) +
                              wttest::UniqueName(L"random_" + wttest::Widen(name) + L"_");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  wttest::ProcessOptions options;
  options.workingDirectory = folder;
  options.timeoutMs = 30000;

  std::map<DWORD, int> codes;
  size_t longest = 0;
  int failures = 0;
  std::uint64_t done = 0;
  const auto start = std::chrono::steady_clock::now();
  for (std::uint64_t run = 0; run < runs && failures < 5; ++run) {
    if (only != ~0ull && run != only) continue;
    Rng rng(Mix(seed, run));
    Words words = Generate(p, rng);
    const std::wstring argv0 = std::wstring(p.file).substr(0, std::wstring(p.file).size() - 4);
    const std::wstring line = CommandLine(argv0, words);
    longest = std::max(longest, line.size());
    const wttest::ProcessResult r = wttest::RunProcess(path, line, options);
    if (only != ~0ull)
      std::printf(
          "run %llu: exit code %ld\ncommand line: %s\nstandard output: %s\nstandard error: %s\n",
          static_cast<unsigned long long>(run), static_cast<long>(r.exitCode), Shown(line).c_str(),
          r.out.substr(0, 2000).c_str(), r.err.substr(0, 2000).c_str());
    const bool ok =
        r.started && !r.timedOut && p.inTable(r.exitCode) && (!p.silentStderr || r.err.empty());
    if (!ok) {
      ++failures;
      ADD_FAILURE() << name << " run " << run << " of seed " << seed
                    << (r.timedOut ? ": hung (killed after 30 s)" : "") << ": exit code 0x"
                    << std::hex << r.exitCode << std::dec << ", start error " << r.startError
                    << "\ncommand line: " << Shown(line)
                    << "\nstandard error: " << r.err.substr(0, 500);
    }
    ++codes[r.exitCode];
    ++done;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %llu runs in %.1f s, longest command line %zu characters; exit codes:",
              name.c_str(), static_cast<unsigned long long>(done), seconds, longest);
  for (const auto& c : codes) std::printf(" %ld (%d)", static_cast<long>(c.first), c.second);
  std::printf("\n");
  std::vector<std::string> left;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring n = found.cFileName;
      if (n != L"." && n != L"..") left.push_back(wttest::Narrow(n));
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  EXPECT_TRUE(left.empty()) << "a run left " << left.front() << " in its folder";
  // The folder was the last run's current directory: Wine may take a moment
  // to let go of it.
  for (int i = 0; i < 50 && !RemoveDirectoryW(folder.c_str()); ++i) Sleep(100);
}

TEST(RandomCommandLines, acctmgr) { RunRandomCommandLines("acctmgr"); }
TEST(RandomCommandLines, svcdefine) { RunRandomCommandLines("svcdefine"); }
TEST(RandomCommandLines, svclaunch) { RunRandomCommandLines("svclaunch"); }
TEST(RandomCommandLines, svchalt) { RunRandomCommandLines("svchalt"); }
TEST(RandomCommandLines, svcredesc) { RunRandomCommandLines("svcredesc"); }
TEST(RandomCommandLines, linkforge) { RunRandomCommandLines("linkforge"); }

}  // namespace
