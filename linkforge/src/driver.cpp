#include "codes.h"
#include "command_line.h"
#include "operations.h"
#include "wt/output.h"

namespace linkforge {

int Run(const Platform& platform, const std::vector<std::wstring>& args) {
  const Command command = ParseCommandLine(args);
  if (args.size() < 2) {
    platform.Write(kUsageText);
    return kUsage;  // at once, without the closing line
  }
  int result = kUsage;
  switch (command.kind) {
    case Command::kCreate:
      result = CreateShortcuts(platform, command.first);
      break;
    case Command::kDelete:
      result = DeleteShortcut(platform, command.first, command.second);
      break;
    case Command::kDeleteAll:
      result = DeleteAllShortcuts(platform, command.first);
      break;
    case Command::kUsage:
      platform.Write(kUsageText);
      break;
    case Command::kUnknown:
      break;
  }
  // A shortcut that was not there to delete is what the caller wanted.
  if (result == kNotFound) result = kOk;
  platform.Write(wt::FormatW(L"linkforge exiting with exit code %d.\n", result));
  return result;
}

}  // namespace linkforge
