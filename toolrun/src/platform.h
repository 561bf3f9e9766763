// The platform calls of the RunTool custom action, as one table of plain
// function pointers with the system functions' own types.
//
// The DLL passes RealPlatform(), whose entries are the Win32 and Windows
// Installer functions themselves; unit tests pass a scripted installer and
// tool on a virtual clock, so a ten-minute time-out, a cancelled
// installation and a tool that cannot be started run in microseconds.
#pragma once

#include <windows.h>
// windows.h first: msi.h needs its types.
#include <msi.h>
#include <msiquery.h>

namespace toolrun {

struct Platform {
  // Windows Installer: the action's data and its log.
  decltype(&::MsiGetPropertyW) MsiGetPropertyW;
  decltype(&::MsiCreateRecord) MsiCreateRecord;
  decltype(&::MsiRecordSetStringW) MsiRecordSetStringW;
  decltype(&::MsiRecordSetInteger) MsiRecordSetInteger;
  decltype(&::MsiProcessMessage) MsiProcessMessage;
  decltype(&::MsiCloseHandle) MsiCloseHandle;

  // The pipes, the tool's process and its job.
  decltype(&::CreatePipe) CreatePipe;
  decltype(&::SetHandleInformation) SetHandleInformation;
  decltype(&::WriteFile) WriteFile;
  decltype(&::InitializeProcThreadAttributeList) InitializeProcThreadAttributeList;
  decltype(&::UpdateProcThreadAttribute) UpdateProcThreadAttribute;
  decltype(&::DeleteProcThreadAttributeList) DeleteProcThreadAttributeList;
  decltype(&::CreateJobObjectW) CreateJobObjectW;
  decltype(&::CreateProcessW) CreateProcessW;
  decltype(&::AssignProcessToJobObject) AssignProcessToJobObject;
  decltype(&::ResumeThread) ResumeThread;
  decltype(&::PeekNamedPipe) PeekNamedPipe;
  decltype(&::ReadFile) ReadFile;
  decltype(&::WaitForSingleObject) WaitForSingleObject;
  decltype(&::GetExitCodeProcess) GetExitCodeProcess;
  decltype(&::TerminateJobObject) TerminateJobObject;
  decltype(&::TerminateProcess) TerminateProcess;
  decltype(&::CloseHandle) CloseHandle;
  decltype(&::GetTickCount) GetTickCount;
  decltype(&::GetLastError) GetLastError;
};

// The real functions.
const Platform& RealPlatform();

}  // namespace toolrun
