// The fault sweep must be able to fail: a page that gives a failure the wrong
// result, a clean result the tool does not end with, an exemption of one call
// taken for another of the same function, an entry named twice.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "wttest/fault.h"

namespace {

using wttest::fault::Page;

struct Table {
  int (*Open)(int);
  int (*Write)(int);
  int (*Close)(int);
};
int Done(int) { return 1; }

wttest::fault::FaultTable<Table> Faults() {
  wttest::fault::FaultTable<Table> t(Table{Done, Done, Done});
  t.Add<&Table::Open>("Open").Add<&Table::Write>("Write").AddRelease<&Table::Close>("Close");
  return t;
}

// Opens 1 (3 when that fails) and 2 (4), writes to both without looking at
// the result, closes both: 0.
int Tool(const Table& t) {
  if (!t.Open(1)) return 3;
  if (!t.Open(2)) return t.Close(1), 4;
  t.Write(1), t.Write(2), t.Close(2), t.Close(1);
  return 0;
}

void Sweep(const Page& page) {
  wttest::fault::Tally("harness").Sweep(
      "tool", [&] { return wttest::fault::Judge(page, std::to_string(Tool(Faults()))); });
}

TEST(FaultHarness, AcceptsThePageTheToolKeeps) {
  Sweep({"0", {"3", "4"}, nullptr, {{"Open#1", {"3"}}, {"Open#2", {"4"}}}, {"Write#1-2"}});
}

TEST(FaultHarness, RejectsAWrongMappingAWrongCleanResultAndAnExemptionOfAnotherCall) {
  const struct {
    Page page;
    const char* message;
  } wrong[] = {
      {{"0", {"3", "4"}, nullptr, {{"Open#1", {"3"}}, {"Open#2", {"3"}}}, {"Write#1-2"}},
       "result 4 does not say Open#2 failed"},
      {{"4", {"3", "4"}, nullptr, {}, {"Write#1-2"}}, "the clean run ended with 0"},
      {{"0", {"3", "4"}, nullptr, {}, {"Write#1"}}, "(Write#2 failing): ended as if nothing"},
      {{"0", {"3", "4"}, nullptr, {}, {"Write"}}, "call sites not made: Write (2 made)"},
  };
  for (const auto& w : wrong) EXPECT_NONFATAL_FAILURE(Sweep(w.page), w.message);
}

TEST(FaultHarness, RejectsATableWithAnEntryNamedTwiceOrNone) {
  wttest::fault::FaultTable<Table> t = Faults();
  EXPECT_TRUE(t.Complete());
  t.Add<&Table::Open>("Open");
  EXPECT_FALSE(t.Complete());
  wttest::fault::FaultTable<Table> two(Table{Done, Done, Done});
  two.Add<&Table::Open>("Open").Add<&Table::Write>("Open");
  EXPECT_FALSE(two.Complete());
  wttest::fault::FaultTable<Table> partial(Table{Done, Done, Done});
  partial.Add<&Table::Open>("Open").Add<&Table::Close>("Close");
  EXPECT_FALSE(partial.Complete());
}

}  // namespace
