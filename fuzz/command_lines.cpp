// The command words and options of acctmgr, svcdefine and linkforge, over a
// command line given one argument per line.
#include <string>
#include <vector>

#include "acctmgr/src/options.h"
#include "acctmgr/src/password_rules.h"
#include "linkforge/src/command_line.h"
#include "support.h"
#include "svcdefine/src/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::wstring> args = fuzz::Lines(fuzz::WideFromBytes(data, size));

  const svcdefine::Command define = svcdefine::ParseCommandLine(args);
  if (define.kind == svcdefine::Command::kDefine)
    FUZZ_CHECK(args.size() == 1 && define.operand == args[0]);
  if (define.kind == svcdefine::Command::kRemove)
    FUZZ_CHECK(args.size() == 2 && define.operand == args[1]);
  if (define.kind == svcdefine::Command::kUsage) FUZZ_CHECK(define.operand.empty());

  const linkforge::Command link = linkforge::ParseCommandLine(args);
  if (args.size() < 2) FUZZ_CHECK(link.kind == linkforge::Command::kUsage);
  if (link.kind == linkforge::Command::kDelete)
    FUZZ_CHECK(args.size() >= 3 && link.second == args[2]);
  if (link.kind != linkforge::Command::kUsage) FUZZ_CHECK(link.first == args[1]);

  if (args.empty()) return 0;
  acctmgr::ParseCommand(args[0].c_str());
  for (const std::wstring& arg : args) {
    if (!acctmgr::IsOption(arg.c_str(), L'u')) continue;
    const std::wstring_view user = acctmgr::OptionValue(arg.c_str());
    const acctmgr::UserParts parts = acctmgr::SplitUser(user);
    if (parts.form == acctmgr::UserForm::Qualified) {
      FUZZ_CHECK(parts.userOffset == parts.domainLength + 1 && parts.userOffset <= user.size());
      FUZZ_CHECK(user[parts.domainLength] == L'\\' &&
                 user.find(L'\\', parts.userOffset) == std::wstring_view::npos);
    } else {
      FUZZ_CHECK(user.find(L'\\') == std::wstring_view::npos);
    }
  }
  return 0;
}
