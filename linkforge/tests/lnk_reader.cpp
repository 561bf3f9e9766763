#include "lnk_reader.h"

#include <shlobj.h>
#include <windows.h>

namespace linkforge::testing {

LinkInfo ReadLink(const std::wstring& file) {
  LinkInfo info;
  IShellLinkW* link = nullptr;
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
      SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
    wchar_t text[INFOTIPSIZE] = {};
    // The path as stored, not resolved against the file system.
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    info.target = text;
    text[0] = L'\0';
    link->GetArguments(text, INFOTIPSIZE);
    info.arguments = text;
    text[0] = L'\0';
    link->GetWorkingDirectory(text, MAX_PATH);
    info.workingDirectory = text;
    text[0] = L'\0';
    link->GetIconLocation(text, MAX_PATH, &info.iconIndex);
    info.iconPath = text;
    info.loaded = true;
  }
  if (persist) persist->Release();
  if (link) link->Release();
  return info;
}

}  // namespace linkforge::testing
