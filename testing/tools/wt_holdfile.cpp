// Holds a file open the way another program would while a test probes it:
// read access, read and write sharing, no delete sharing.
//
//   wt_holdfile <path> <ready event> <release event>
//
// Signals the ready event once the file is open and keeps it open until the
// release event is set (at most 60 s). Exit code 0, or 2 when the file cannot
// be opened, 3 when an event is missing.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 1;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
  int rc = 3;
  if (ready && release) {
    SetEvent(ready);
    WaitForSingleObject(release, 60000);
    rc = 0;
  }
  if (ready) CloseHandle(ready);
  if (release) CloseHandle(release);
  CloseHandle(file);
  return rc;
}
