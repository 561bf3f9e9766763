// A stand-in for the product's bridge library (whbx332.dll), for acctmgr's
// tests: hbxinit(1) gives an interface whose resolver asks for each
// candidate path to be mapped as .dll and .pdb, and has the value 0x100 for
// any loaded library. Every call is traced (standin_trace.h), hbxinit with
// the file this copy was loaded from.
#include <windows.h>

#include <string>

#include "standin_trace.h"
#include "vqtoolkit.h"

namespace {

HMODULE g_module = nullptr;

void VQCALL Map(HbxResolver*, const wchar_t* path) { StandinTrace(L"map " + std::wstring(path)); }

int VQCALL Query(HbxResolver*, const wchar_t* path, uintptr_t* value) {
  StandinTrace(L"query " + std::wstring(path));
  *value = 0x100;
  return 0;
}

void VQCALL Release(HbxResolver*) { StandinTrace(L"release"); }

const HbxResolverOps g_resolverOps = {Map, Query, Release};
HbxResolver g_resolver = {&g_resolverOps, 1};

HbxResolver* VQCALL Resolver(HbxInterface*, int argc, char** argv, uintptr_t reserved,
                             HbxRequest* request) {
  StandinTrace(L"bridge " + StandinText(request->options) + L", VQREPL " +
               StandinText(request->vqrepl) + L", work " + std::to_wstring(request->workSize));
  if (argc != 0 || argv != nullptr || reserved != 0) return nullptr;
  return &g_resolver;
}

const HbxOps g_ops = {Resolver};
HbxInterface g_bridge = {&g_ops};

}  // namespace

extern "C" __declspec(dllexport) HbxInterface* VQCALL hbxinit(int version) {
  wchar_t path[MAX_PATH + 1] = L"";
  GetModuleFileNameW(g_module, path, MAX_PATH + 1);
  StandinTrace(L"hbxinit " + std::wstring(path));
  return version == 1 ? &g_bridge : nullptr;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}
