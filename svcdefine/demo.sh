# svcdefine: what the example package's conditions keep it from meeting: a
# service that is already there (502) and one already gone (504), then a
# missing INI file and the usage. Sourced by scripts/demo.

section "svcdefine: a service already there, a service already gone"
SVCDEF_NAME=WtDemoService
SVCDEF_INI=$ROOT/dist/x86/wtdemo_service.ini
SVCDEF_BIN=$("$WINE" winepath -w "$ROOT/build/x64/bin/wt_testsvc.exe" 2>/dev/null | tr -d '\r')
cat >"$SVCDEF_INI" <<INI
[Service]
ServiceName=$SVCDEF_NAME
DisplayName=WT Demo Service
BinaryPathName="$SVCDEF_BIN" --stop-ms 1500 --hint-ms 3000
StartType=SERVICE_DEMAND_START
ErrorControl=SERVICE_ERROR_NORMAL
INI
printf '\nwtdemo_service.ini, next to the program:\n'
sed 's/^/    /' "$SVCDEF_INI"

# A bare file name: read from the current folder. The second run finds the
# service the first made.
run x86/svcdefine.exe wtdemo_service.ini
run x86/svcdefine.exe wtdemo_service.ini
# Removed, then gone: the second removal cannot open it.
run x86/svcdefine.exe -remove "$SVCDEF_NAME"
run x86/svcdefine.exe -remove "$SVCDEF_NAME"

section "svcdefine: missing file and usage"
run x86/svcdefine.exe no_such_file.ini
run x86/svcdefine.exe

rm -f "$SVCDEF_INI"
