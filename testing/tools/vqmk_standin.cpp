// A stand-in for the product's VQ toolkit runtime (vqmk.dll), for acctmgr's
// tests and demo. It offers exactly what acctmgr relies on
// (acctmgr/src/vqtoolkit.h): the boot entry, a host interface registered
// while it runs, one pool, password decoding and the shut-down.
//
// Its password encoding is its own and no secret: "{", each UTF-16 unit of
// the plain text as four hex digits, "}". "{00700077}" is "pw". Anything
// else fails to decode.
//
// Scripted through the environment of the process that loads it:
//   VQSTANDIN_FAIL=boot   the boot fails with an error text of its own
//   VQSTANDIN_FAIL=pool   pool creation fails
//   VQSTANDIN_FAIL=decode decoding fails, yet hands out a pool block with a
//                         length far beyond it
//   VQSTANDIN_TRACE=file  every call appends a line (standin_trace.h)
// Built a second time without the boot entry (vqmk_noboot.dll), as a
// library that loads but is not a toolkit.
#include <windows.h>

#include <cwchar>
#include <string>

#include "standin_trace.h"
#include "vqtoolkit.h"

namespace {

HMODULE g_module = nullptr;
int g_poolBlocks = 0;

bool Fails(const wchar_t* what) {
  wchar_t value[16];
  const DWORD n = GetEnvironmentVariableW(L"VQSTANDIN_FAIL", value, 16);
  return n > 0 && n < 16 && std::wcscmp(value, what) == 0;
}

void VQCALL FreeBlock(VqPool*, void* block) {
  StandinTrace(L"free");
  --g_poolBlocks;
  HeapFree(GetProcessHeap(), 0, block);
}

void VQCALL DestroyPool(VqPool*) {
  StandinTrace(L"destroy, blocks held " + std::to_wstring(g_poolBlocks));
}

const VqPoolOps g_poolOps = {FreeBlock, DestroyPool};
VqPool g_pool = {&g_poolOps};

int Hex(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

int VQCALL Decode(VqPasswordServices*, VqPool* pool, const wchar_t* encoded, uint32_t length,
                  wchar_t** plain, uint32_t* plainLength, void* context);
const VqPasswordOps g_passwordOps = {Decode};
VqPasswordServices g_passwords = {&g_passwordOps};

VqPool* VQCALL CreatePool(VqHost*, const VqPoolOptions* options, uint32_t flags, const char* name) {
  StandinTrace(L"pool " + StandinText(name));
  const bool zeros = options && !options->values[0] && !options->values[1] && !options->values[2];
  if (Fails(L"pool") || !zeros || flags != 0) return nullptr;
  return &g_pool;
}

const VqHostOps g_hostOps = {CreatePool};
VqHost g_host = {&g_hostOps, &g_passwords, &g_host};

int VQCALL Decode(VqPasswordServices* services, VqPool* pool, const wchar_t* encoded,
                  uint32_t length, wchar_t** plain, uint32_t* plainLength, void* context) {
  StandinTrace(L"decode " + std::to_wstring(length) + L" characters");
  if (services != &g_passwords || pool != &g_pool || context != &g_host) return 1;
  if (Fails(L"decode")) {
    *plain = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, sizeof(wchar_t)));
    if (*plain != nullptr) ++g_poolBlocks;
    *plainLength = 0x40000000;
    return 4;
  }
  if (length < 2 || encoded[0] != L'{' || encoded[length - 1] != L'}' || (length - 2) % 4 != 0) {
    return 2;
  }
  const uint32_t chars = (length - 2) / 4;
  auto* text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (chars + 1) * sizeof(wchar_t)));
  if (text == nullptr) return 3;
  for (uint32_t i = 0; i < chars; ++i) {
    unsigned value = 0;
    for (uint32_t d = 0; d < 4; ++d) {
      const int digit = Hex(encoded[1 + 4 * i + d]);
      if (digit < 0) {
        HeapFree(GetProcessHeap(), 0, text);
        return 2;
      }
      value = value * 16 + static_cast<unsigned>(digit);
    }
    text[i] = static_cast<wchar_t>(value);
  }
  text[chars] = L'\0';
  ++g_poolBlocks;
  *plain = text;
  *plainLength = chars;
  return 0;
}

void VQCALL Shutdown(VqInstance*, VqRegisterHostFn registerHost, void** library) {
  StandinTrace(L"shutdown");
  registerHost(nullptr);
  *library = g_module;
}

const VqInstanceOps g_instanceOps = {Shutdown};
[[maybe_unused]] VqInstance g_instance = {&g_instanceOps};

}  // namespace

extern "C" {

__declspec(dllexport) extern const unsigned char __usage_data_table[4];
const unsigned char __usage_data_table[4] = {1, 2, 3, 4};

__declspec(dllexport) void VQCALL setinstallpath(const char* path) {
  StandinTrace(L"setinstallpath [" + StandinText(path) + L"]");
}

#ifndef VQSTANDIN_NO_BOOT
__declspec(dllexport) VqInstance* VQCALL
    vqBoot6(int argc, char** argv, char* errorText, uint32_t* errorCapacity, VqBootRecord* record,
            VqRegisterHostFn registerHost, uintptr_t r1, uintptr_t r2) {
  const VqBootFields& f = record->fields;
  wchar_t list[1024] = L"";
  GetEnvironmentVariableW(L"VQ_PATHLIST", list, 1024);
  StandinTrace(L"boot " + std::wstring(f.libraryName) +
               (f.bootEntry == vqBoot6 && f.library == g_module ? L" record ok" : L" record bad") +
               L", usage table " + (f.usageDataTable == __usage_data_table ? L"ok" : L"bad") +
               L", resolver " + std::to_wstring(f.resolverValue) + L", VQ_PATHLIST [" + list +
               L"]");
  if (Fails(L"boot") || argc != 0 || argv != nullptr || r1 != 0 || r2 != 0) {
    const char text[] = "stand-in toolkit: boot refused";
    const uint32_t length = *errorCapacity > sizeof text ? sizeof text - 1 : *errorCapacity - 1;
    std::memcpy(errorText, text, length);
    errorText[length] = '\0';
    *errorCapacity = length;
    return nullptr;
  }
  registerHost(&g_host);
  return &g_instance;
}
#endif

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}
