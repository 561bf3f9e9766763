// linkforge's result codes: what the operations return and the process exits
// with. Pure definitions: no Windows header.
#pragma once

namespace linkforge {

enum Code : int {
  kOk = 0,
  kUsage = -1,               // usage error or unknown command word
  kIniOpenFailed = -2,       // the INI file cannot be opened
  kFolderUnusable = -3,      // folderStructure missing or unreadable
  kShortcutSectionBad = -6,  // no [Shortcut] where one is expected, or a bad section
  kDeleteFailed = -95,       // a shortcut file exists but could not be deleted
  kSaveFailed = -96,         // a shortcut could not be saved
  kComInitFailed = -97,      // the COM library could not be initialised
  kNoMemory = -98,           // no memory for the INI text
  kPlatformFailed = -99,     // file size/content, Programs folder or link object
  kNotFound = -101,          // no such shortcut file; the driver reports it as 0
};

}  // namespace linkforge
