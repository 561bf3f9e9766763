// The decode of an encoded password ("{...}") by the product's VQ toolkit
// runtime. The program finds the installation in the registry, extends the
// toolkit search path VQPATH, finds and loads the toolkit library, boots it,
// has it decode the one password and shuts it down again. Nothing else in
// the program touches the toolkit.
#include <cstring>
#include <string>

#include "toolkit.h"

namespace acctmgr {
namespace {

constexpr uint32_t kBootErrorBytes = 256;

// Pool, decode and copy-out with a booted toolkit. The pool and the text it
// holds are released on every path; the plain text of a successful decode
// is wiped in the pool before it goes back. A failed decode may leave any
// pointer and length behind: its block is only freed, never wiped with a
// length nothing vouches for.
int DecodeWithToolkit(Context& ctx, const wchar_t** password, OwnedBlock* plain,
                      size_t* plainBytes) {
  const Platform& p = ctx.p;
  VqHost* host = CurrentHost();
  const VqPoolOptions options = {};
  VqPool* pool = host ? host->ops->createPool(host, &options, 0, "Global Pool") : nullptr;
  if (pool == nullptr) {
    ReportError(ctx, MSG_POOL_FAILED);
    return kPoolFailed;
  }
  int code = kOk;
  wchar_t* text = nullptr;
  uint32_t textChars = 0;
  VqPasswordServices* services = host->passwords;
  const auto encodedChars = static_cast<uint32_t>(std::wcslen(*password));
  const bool decoded = services != nullptr &&
                       services->ops->decode(services, pool, *password, encodedChars, &text,
                                             &textChars, host->context) == 0 &&
                       text != nullptr;
  if (!decoded) {
    ReportError(ctx, MSG_DECODE_FAILED);
    code = kDecodeFailed;
  } else {
    const size_t bytes = (static_cast<size_t>(textChars) + 1) * sizeof(wchar_t);
    plain->reset(p.LocalAlloc(LPTR, bytes));
    if (!*plain) {
      const DWORD error = GetLastError();
      ReportError(ctx, error);
      code = kNoMemoryPassword;
    } else {
      std::memcpy(plain->get(), text, bytes - sizeof(wchar_t));
      *plainBytes = bytes;
      *password = static_cast<const wchar_t*>(plain->get());
    }
  }
  if (text != nullptr) {
    if (decoded) SecureZeroMemory(text, static_cast<size_t>(textChars) * sizeof(wchar_t));
    pool->ops->freeBlock(pool, text);
  }
  pool->ops->destroy(pool);
  return code;
}

}  // namespace

int DecodePassword(Context& ctx, const wchar_t** password, OwnedBlock* plain, size_t* plainBytes) {
  const Platform& p = ctx.p;
  const int located = LocateInstallation(ctx);
  if (located != kOk) return located;

  Session session(p);
  char error[kBootErrorBytes] = {};
  uint32_t capacity = kBootErrorBytes;
  VqInstance* instance = BootToolkit(p, session, error, &capacity);
  if (instance == nullptr) {
    error[kBootErrorBytes - 1] = '\0';
    const int length = static_cast<int>(strnlen(error, kBootErrorBytes));
    std::wstring text(static_cast<size_t>(length), L'\0');
    if (length > 0) {
      text.resize(
          static_cast<size_t>(p.MultiByteToWideChar(CP_ACP, 0, error, length, &text[0], length)));
    }
    const wchar_t* args[] = {text.c_str()};
    ReportError(ctx, MSG_TOOLKIT_LOAD_FAILED, args);
    return kToolkitNotLoaded;
  }
  const int code = DecodeWithToolkit(ctx, password, plain, plainBytes);
  ShutdownToolkit(p, instance);
  return code;
}

}  // namespace acctmgr
