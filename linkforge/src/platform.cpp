#include "platform.h"

#include <cstdio>

#include "wt/output.h"

namespace linkforge {
namespace {

void WriteStdout(std::wstring_view text) { wt::WriteWide(stdout, text); }

const Platform kReal = {
    ::CreateFileW,
    ::GetFileSize,
    ::ReadFile,
    ::CloseHandle,
    ::LocalAlloc,
    ::LocalFree,
    ::MultiByteToWideChar,
    ::CoInitialize,
    ::CoUninitialize,
    ::CoCreateInstance,
    ::SHGetSpecialFolderPathW,
    ::SHCreateDirectoryExW,
    ::ExpandEnvironmentStringsW,
    ::GetSystemDirectoryW,
    ::PathFileExistsW,
    ::DeleteFileW,
    ::FindFirstFileW,
    ::FindNextFileW,
    ::FindClose,
    ::RemoveDirectoryW,
    WriteStdout,
};

}  // namespace

const Platform& RealPlatform() { return kReal; }

}  // namespace linkforge
