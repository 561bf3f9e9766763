/* What acctmgr relies on of the product's VQ toolkit runtime (vqmk.dll,
 * vqmkd.dll) and of its optional bridge library (whbx332.dll).
 *
 * Both libraries are the product's own and are loaded at run time only, to
 * decode an encoded password. This header is the program's side of their
 * binary interface: the exports it looks up by name and the tables of
 * operations it calls through. Every object the libraries hand out begins
 * with a pointer to its table of operations; the program never looks past
 * the members declared here. All calls use the C calling convention.
 *
 * Plain C, so a library written in C can be built against it as well.
 */
#ifndef ACCTMGR_VQTOOLKIT_H
#define ACCTMGR_VQTOOLKIT_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VQCALL __cdecl

/* Export names. */
#define VQ_BOOT_EXPORT "vqBoot6"
#define VQ_SETINSTALLPATH_EXPORT "setinstallpath"
#define VQ_USAGE_TABLE_EXPORT "__usage_data_table"
#define HBX_INIT_EXPORT "hbxinit"

typedef struct VqHost VqHost;
typedef struct VqInstance VqInstance;
typedef union VqBootRecord VqBootRecord;

/* The registration callback the program hands to the boot entry and to the
 * shut-down: a non-null host registers it (registrations nest), null undoes
 * the latest registration. Always returns 0. */
typedef int(VQCALL* VqRegisterHostFn)(VqHost* host);

/* vqBoot6(argc 0, argv null, error text, in/out capacity, boot record,
 * registration callback, 0, 0): the instance, or null with an 8-bit error
 * text in the buffer and its length stored in *capacity. A successful boot
 * registers the toolkit's host interface through the callback. */
typedef VqInstance*(VQCALL* VqBootFn)(int argc, char** argv, char* errorText,
                                      uint32_t* errorCapacity, VqBootRecord* record,
                                      VqRegisterHostFn registerHost, uintptr_t reserved1,
                                      uintptr_t reserved2);

/* setinstallpath(install path): optional, called before the boot entry is
 * looked up, with the text that follows the marker of the program's
 * install-path area. */
typedef void(VQCALL* VqSetInstallPathFn)(const char* installPath);

/* The boot record: 1320 zero-filled bytes of which the program fills these
 * fields, in this order. The toolkit may keep the record until it is shut
 * down. */
typedef struct VqBootFields {
  VqBootFn bootEntry;
  void* library;              /* module handle of the loaded toolkit */
  uintptr_t resolverValue;    /* from the bridge's resolver, 0 without one */
  const void* usageDataTable; /* the library's __usage_data_table, or null */
  char* errorText;            /* 8-bit error text of the library search */
  uint32_t errorCapacity;     /* in: bytes of errorText; out: length written */
  wchar_t libraryName[16];    /* "vqmk.dll" or "vqmkd.dll" */
} VqBootFields;

union VqBootRecord {
  VqBootFields fields;
  unsigned char bytes[1320];
};

/* A memory pool of the toolkit. */
typedef struct VqPool VqPool;
typedef struct VqPoolOps {
  void(VQCALL* freeBlock)(VqPool* pool, void* block);
  void(VQCALL* destroy)(VqPool* pool);
} VqPoolOps;
struct VqPool {
  const VqPoolOps* ops;
};

/* Options of a new pool: the program passes three zeros. */
typedef struct VqPoolOptions {
  uint32_t values[3];
} VqPoolOptions;

/* The password services. decode(services, pool, encoded text, its length in
 * characters, &plain, &plain length in characters, the host's context): 0 on
 * success, the plain text then a wide string allocated in the pool. */
typedef struct VqPasswordServices VqPasswordServices;
typedef struct VqPasswordOps {
  int(VQCALL* decode)(VqPasswordServices* services, VqPool* pool, const wchar_t* encoded,
                      uint32_t encodedLength, wchar_t** plain, uint32_t* plainLength,
                      void* context);
} VqPasswordOps;
struct VqPasswordServices {
  const VqPasswordOps* ops;
};

/* The host interface a booted toolkit registers. createPool(host, options,
 * 0, name): the pool, or null. passwords may be null: no decoding then. */
typedef struct VqHostOps {
  VqPool*(VQCALL* createPool)(VqHost* host, const VqPoolOptions* options, uint32_t flags,
                              const char* name);
} VqHostOps;
struct VqHost {
  const VqHostOps* ops;
  VqPasswordServices* passwords;
  void* context;
};

/* A booted toolkit. shutdown(instance, registration callback, &library):
 * undoes the registration; a module handle stored in *library is the
 * caller's to free. */
typedef struct VqInstanceOps {
  void(VQCALL* shutdown)(VqInstance* instance, VqRegisterHostFn registerHost, void** library);
} VqInstanceOps;
struct VqInstance {
  const VqInstanceOps* ops;
};

/* The bridge. hbxinit(1) gives its interface, whose first operation gives a
 * resolver for a request, or null. */
typedef struct HbxRequest {
  char* work; /* an empty work buffer of workSize bytes */
  uint32_t workSize;
  const char* options; /* "/tevgen;/u" */
  const char* vqroot;  /* the variables' values, null when unset */
  const char* vqpp;
  const char* vqrepl; /* "/tst;/tev" when unset */
  const char* sdsbox;
} HbxRequest;

typedef struct HbxResolver HbxResolver;
typedef struct HbxResolverOps {
  void(VQCALL* map)(HbxResolver* resolver, const wchar_t* path);
  /* 0 when it has a value for the loaded library at path. */
  int(VQCALL* query)(HbxResolver* resolver, const wchar_t* path, uintptr_t* value);
  void(VQCALL* release)(HbxResolver* resolver);
} HbxResolverOps;
struct HbxResolver {
  const HbxResolverOps* ops;
  int mapPdbToo; /* non-zero: map each path again with "pdb" for "dll" */
};

typedef struct HbxInterface HbxInterface;
typedef struct HbxOps {
  HbxResolver*(VQCALL* resolver)(HbxInterface* bridge, int argc, char** argv, uintptr_t reserved,
                                 HbxRequest* request);
} HbxOps;
struct HbxInterface {
  const HbxOps* ops;
};

typedef HbxInterface*(VQCALL* HbxInitFn)(int version);

#ifdef __cplusplus
}
#endif

#endif /* ACCTMGR_VQTOOLKIT_H */
