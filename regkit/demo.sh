# regkit: the Java deployment tool's registry work through libRegKit, called
# as its 32-bit Java VM would call it (the project's JNI test host stands in
# for the VM): keys and values written, read, listed and deleted in the
# 64-bit and the 32-bit registry view, which stay apart. Sourced by
# scripts/demo.

# regkit_calls ARCH METHOD ARGS... [METHOD ARGS...]: loads
# dist/ARCH/libRegKit.dll into the JNI test host, calls the methods in turn
# and prints each answer after the library's own lines. Root code 8 is
# HKEY_LOCAL_MACHINE; -null passes a null string.
regkit_calls() {
  local arch=$1; shift
  printf '\n> libRegKit.dll (%s)\n' "$arch"
  (cd "$ROOT/dist/$arch" && "$WINE" "$ROOT/build/$arch/bin/regkit_host.exe" libRegKit.dll "$@" </dev/null 2>&1) \
    | tr -d '\r' || true
}

REGKIT_TOP='SOFTWARE\TEV Works'
REGKIT_KEY="$REGKIT_TOP\\Deploy"
# Nothing left from an earlier run, in either view.
"$WINE" reg delete "HKLM\\$REGKIT_TOP" /f /reg:64 >/dev/null 2>&1 || true
"$WINE" reg delete "HKLM\\$REGKIT_TOP" /f /reg:32 >/dev/null 2>&1 || true

section "libRegKit: keys in the 64-bit and the 32-bit view of HKEY_LOCAL_MACHINE"
# A missing key is made with every missing level; the INFO line tells that
# the open found nothing (2) before the creation succeeded.
regkit_calls x86 \
  CreateRegKey 8 "$REGKIT_KEY" \
  CreateRegKey 8 "$REGKIT_KEY" \
  CreateRegKey32 8 "$REGKIT_KEY\\Only32" \
  RegKeyExists32 8 "$REGKIT_KEY\\Only32" \
  RegKeyExists64 8 "$REGKIT_KEY\\Only32"

section "libRegKit: values written into each view"
regkit_calls x86 \
  SetRegValue 8 "$REGKIT_KEY" InstallDir 'C:\Program Files\TEV' 1 \
  SetRegValue32 8 "$REGKIT_KEY" InstallDir 'C:\Program Files (x86)\TEV' 1 \
  SetRegValue 8 "$REGKIT_KEY" DataDir '%ProgramData%\TEV' 104 \
  SetRegDwordValue 8 "$REGKIT_KEY" Port 4660 101 \
  SetRegDwordValue32 8 "$REGKIT_KEY" Port 8080 101 \
  SetRegValue 8 "$REGKIT_KEY\\Missing" Version 1.0 1
# A multi-string, written by Wine's own reg tool.
wine_cmd reg add "HKLM\\$REGKIT_KEY" /v Modules /t REG_MULTI_SZ /d 'core\0web\0batch' /f /reg:64

section "What the registry holds: the 64-bit view, then the 32-bit view"
wine_cmd reg query "HKLM\\$REGKIT_TOP" /s /reg:64
wine_cmd reg query "HKLM\\$REGKIT_TOP" /s /reg:32

section "libRegKit: reading back"
regkit_calls x86 \
  RegQueryValueEx 8 "$REGKIT_KEY" InstallDir \
  RegQueryValue32 8 "$REGKIT_KEY" InstallDir \
  RegQueryValueEx 8 "$REGKIT_KEY" DataDir \
  RegQueryType64 8 "$REGKIT_KEY" DataDir \
  RegQueryDwordValue 8 "$REGKIT_KEY" Port \
  RegQueryDwordValue32 8 "$REGKIT_KEY" Port \
  RegQueryValueEx 8 "$REGKIT_KEY" Modules \
  RegQueryMultiValue 8 "$REGKIT_KEY" Modules true \
  RegQueryMultiValue 8 "$REGKIT_KEY" Modules false \
  RegQueryValueEx 8 "$REGKIT_KEY" NoSuchValue \
  RegQueryDwordValue 8 "$REGKIT_KEY\\NoSuchKey" Port \
  RegQueryValueEx 8 -null InstallDir

section "libRegKit: listing names"
regkit_calls x86 \
  valuesForKey64 8 "$REGKIT_KEY" \
  valuesForKey32 8 "$REGKIT_KEY" \
  childrenForKey64 8 "$REGKIT_KEY" \
  childrenForKey32 8 "$REGKIT_KEY" \
  childrenForKey64 8 "$REGKIT_KEY\\NoSuchKey"

section "libRegKit: deleting"
# A key with subkeys is refused by the key deletion; DelRegTree removes the
# whole tree, in the view of the calling process: the 32-bit one for the x86
# library, the 64-bit one for the x64 library.
regkit_calls x86 \
  DelRegkeyValue 8 "$REGKIT_KEY" DataDir true \
  RegQueryType64 8 "$REGKIT_KEY" DataDir \
  DelRegKeyWOW32Bit 8 "$REGKIT_TOP" \
  DelRegKeyWOW32Bit 8 "$REGKIT_KEY\\Only32" \
  DelRegTree 8 "$REGKIT_TOP" \
  RegKeyExists32 8 "$REGKIT_TOP" \
  RegKeyExists64 8 "$REGKIT_TOP"
regkit_calls x64 \
  DelRegTree 8 "$REGKIT_TOP" \
  RegKeyExists64 8 "$REGKIT_TOP"
