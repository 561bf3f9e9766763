# hostprobe: the Java deployment tool's questions to the host, answered by
# libHostProbe as its 32-bit Java VM would call it (the project's JNI test
# host stands in for the VM), then the file and font work it does during an
# install. Sourced by scripts/demo. SystemShutdown is never called: it would
# restart the machine.

# probe ARCH [METHOD ARGS...]: loads dist/ARCH/libHostProbe.dll into the JNI
# test host and prints each answer (no METHOD: every host question).
probe() {
  local arch=$1; shift
  printf '\n> libHostProbe.dll (%s)%s\n' "$arch" "$(winargs "$@")"
  (cd "$ROOT/dist/$arch" && "$WINE" "$ROOT/build/$arch/bin/probe_host.exe" libHostProbe.dll "$@" </dev/null 2>&1) \
    | tr -d '\r' || true
}

section "libHostProbe: what the 32-bit Java VM learns about the host"
probe x86

section "libHostProbe: the same questions from a 64-bit Java VM"
# The architecture answers differ (isWow64 0, GetArchitectureWin 9); the
# version code is the same.
probe x64 GetHostProbeVersion
probe x64 isWow64
probe x64 GetArchitectureWin

section "libHostProbe: a file into the real 64-bit system folder"
HOSTPROBE_DIR=$WINEPREFIX/drive_c/hostprobe_demo
mkdir -p "$HOSTPROBE_DIR/a folder with a long name"
printf 'demo helper\n' >"$HOSTPROBE_DIR/wtdemo64.dat"
printf 'settings\n' >"$HOSTPROBE_DIR/a folder with a long name/installer settings.txt"
# From the 32-bit process, system32 means SysWOW64 unless redirection is off.
probe x86 Copy64NoRedirect 'C:\hostprobe_demo\wtdemo64.dat' 'C:\windows\system32\wtdemo64.dat'
printf '\nIn the 64-bit system32: %s; in SysWOW64: %s\n' \
  "$([ -f "$WINEPREFIX/drive_c/windows/system32/wtdemo64.dat" ] && echo present || echo absent)" \
  "$([ -f "$WINEPREFIX/drive_c/windows/syswow64/wtdemo64.dat" ] && echo present || echo absent)"
probe x86 Delete64NoRedirect 'C:\windows\system32\wtdemo64.dat'

section "libHostProbe: short names, moves and locks"
probe x86 GetShortPath 'C:\hostprobe_demo\a folder with a long name\installer settings.txt'
probe x86 GetShortPath 'C:\hostprobe_demo\missing.txt'
probe x86 IsFileWriteLocked 'C:\hostprobe_demo\wtdemo64.dat'
probe x86 IsFileWriteLocked 'C:\hostprobe_demo\no such folder\x.txt'
cp "$HOSTPROBE_DIR/wtdemo64.dat" "$HOSTPROBE_DIR/wtdemo64.new"
# Flags 0 refuse to replace an existing file; 1 (MOVEFILE_REPLACE_EXISTING) does.
probe x86 MoveFileEx 'C:\hostprobe_demo\wtdemo64.new' 'C:\hostprobe_demo\wtdemo64.dat' 0
probe x86 MoveFileEx 'C:\hostprobe_demo\wtdemo64.new' 'C:\hostprobe_demo\wtdemo64.dat' 1
# A null Java string is refused with the failure result, not a crash.
probe x86 IsFileWriteLocked -null

section "libHostProbe: fonts and the environment broadcast"
if [ -f /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ]; then
  cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$HOSTPROBE_DIR/DemoSans.ttf"
  probe x86 registerFont 'C:\hostprobe_demo\DemoSans.ttf'
  probe x86 unregisterFont 'C:\hostprobe_demo\DemoSans.ttf'
fi
probe x86 registerFont 'C:\hostprobe_demo\wtdemo64.dat'
# Wine's broadcast stores the answer 1 ("not handled"); Windows' windows answer 0.
probe x86 registerEnvironmentChange

rm -rf "$HOSTPROBE_DIR"
