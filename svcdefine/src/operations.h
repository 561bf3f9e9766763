// The two service control manager operations. Each returns 0 or the id of
// the message it printed, which becomes the exit code.
#pragma once

#include <string>
#include <vector>

#include "definition.h"
#include "platform.h"

namespace svcdefine {

// Creates the service, sets its description and records its working
// directory. 0, 501, 502, 503, 401 or 402. After 503, 401 or 402 the service
// stays created.
int CreateDefinedService(const Platform& platform, const ServiceDefinition& definition);

// Stops the service if it runs (one short wait, no polling) and deletes it.
// 0, 501, 504, 505, 506, 507 or 508; the deletion is attempted after 505,
// 506 and 507 as well.
int RemoveService(const Platform& platform, const std::wstring& serviceName);

// The whole program: the command forms, INI reading and the operations.
// args are the arguments after the program name; returns the exit code.
int Run(const Platform& platform, const std::vector<std::wstring>& args);

}  // namespace svcdefine
