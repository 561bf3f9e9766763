// svcdefine's exit codes, and the ids of its string table (svcdefine.rc):
// the id of every error message is also the exit code that goes with it.
#pragma once

namespace svcdefine {

enum ExitCode : int {
  kUsageExitCode = -1,  // every usage error; a caller sees it as 0xFFFFFFFF
  kSucceeded = 0,
  kIniNotFound = 101,
  kServiceNameNotFound = 201,
  kDisplayNameNotFound = 202,
  kBinaryPathNameNotFound = 203,
  kStartTypeNotFound = 204,
  kInvalidStartType = 301,
  kInvalidErrorControl = 302,
  kRegOpenKeyFailed = 401,
  kRegSetValueFailed = 402,
  kOpenScManagerFailed = 501,
  kCreateServiceFailed = 502,
  kChangeServiceConfigFailed = 503,
  kOpenServiceFailed = 504,
  kQueryServiceStatusFailed = 505,
  kControlServiceFailed = 506,
  kStopServiceFailed = 507,
  kDeleteServiceFailed = 508,
};

// The progress line's text; never an exit code.
constexpr int kProcessingIniFile = 901;

}  // namespace svcdefine
