#include "command_line.h"

#include <gtest/gtest.h>

namespace svcdefine {
namespace {

struct FormCase {
  std::vector<std::wstring> args;
  Command::Kind kind;
  std::wstring operand;
};

TEST(CommandLine, RecognisesTheThreeForms) {
  const FormCase cases[] = {
      {{}, Command::kUsage, L""},
      {{L"svc.ini"}, Command::kDefine, L"svc.ini"},
      // Alone, "-remove" is an INI path like any other.
      {{L"-remove"}, Command::kDefine, L"-remove"},
      {{L"-remove", L"MySvc"}, Command::kRemove, L"MySvc"},
      {{L"-REMOVE", L"MySvc"}, Command::kRemove, L"MySvc"},
      {{L"-Remove", L"My Svc"}, Command::kRemove, L"My Svc"},
      {{L"a.ini", L"b.ini"}, Command::kUsage, L""},
      {{L"-remov", L"MySvc"}, Command::kUsage, L""},
      {{L"-removes", L"MySvc"}, Command::kUsage, L""},
      {{L"-remove", L"MySvc", L"x"}, Command::kUsage, L""},
      {{L"a", L"b", L"c"}, Command::kUsage, L""},
  };
  for (const auto& c : cases) {
    const Command got = ParseCommandLine(c.args);
    EXPECT_EQ(got.kind, c.kind) << c.args.size() << " args";
    EXPECT_EQ(got.operand, c.operand);
  }
}

}  // namespace
}  // namespace svcdefine
