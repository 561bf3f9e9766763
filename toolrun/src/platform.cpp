#include "platform.h"

namespace toolrun {

const Platform& RealPlatform() {
  static const Platform real = {
      ::MsiGetPropertyW,
      ::MsiCreateRecord,
      ::MsiRecordSetStringW,
      ::MsiRecordSetInteger,
      ::MsiProcessMessage,
      ::MsiCloseHandle,
      ::CreatePipe,
      ::SetHandleInformation,
      ::WriteFile,
      ::InitializeProcThreadAttributeList,
      ::UpdateProcThreadAttribute,
      ::DeleteProcThreadAttributeList,
      ::CreateJobObjectW,
      ::CreateProcessW,
      ::AssignProcessToJobObject,
      ::ResumeThread,
      ::PeekNamedPipe,
      ::ReadFile,
      ::WaitForSingleObject,
      ::GetExitCodeProcess,
      ::TerminateJobObject,
      ::TerminateProcess,
      ::CloseHandle,
      ::GetTickCount,
      ::GetLastError,
  };
  return real;
}

}  // namespace toolrun
