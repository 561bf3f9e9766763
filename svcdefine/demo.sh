# svcdefine: an installer registers its service from the INI file it ships,
# then the uninstaller stops and removes it by name. Sourced by scripts/demo.

section "svcdefine: register a service from an INI file"
SVCDEF_NAME=WtDemoService
SVCDEF_INI=$ROOT/dist/x86/wtdemo_service.ini
# The service program: the project's scripted test service, a real Windows
# service that stops in 1.5 s, reporting a 3 s wait hint meanwhile.
SVCDEF_BIN=$("$WINE" winepath -w "$ROOT/build/x64/bin/wt_testsvc.exe" 2>/dev/null | tr -d '\r')
cat >"$SVCDEF_INI" <<INI
[Service]
ServiceName=$SVCDEF_NAME
DisplayName=WT Demo Service
Description=Demo service registered by svcdefine
BinaryPathName="$SVCDEF_BIN" --stop-ms 1500 --hint-ms 3000
Dependencies=RpcSs|PlugPlay
StartType=SERVICE_DEMAND_START
ErrorControl=SERVICE_ERROR_NORMAL
AccessChgCfg=1
AccessQryStatus=1
AccessStart=1
WorkDir=C:\\Program Files\\WT Demo
INI
printf '\nThe INI file the installer ships (wtdemo_service.ini, next to the program):\n'
sed 's/^/    /' "$SVCDEF_INI"

# A bare file name: read from the current folder.
run x86/svcdefine.exe wtdemo_service.ini
wine_cmd reg query "HKLM\\SYSTEM\\CurrentControlSet\\Services\\$SVCDEF_NAME"

section "svcdefine: a second run finds the service already there"
run x86/svcdefine.exe wtdemo_service.ini

section "svcdefine: remove the running service"
wine_cmd net start "$SVCDEF_NAME"
wine_cmd sc query "$SVCDEF_NAME"
# Stop requested, 1 s wait, then the wait hint: stopped and deleted.
run x86/svcdefine.exe -remove "$SVCDEF_NAME"
wine_cmd sc query "$SVCDEF_NAME"
# Gone: a second removal cannot open it.
run x86/svcdefine.exe -remove "$SVCDEF_NAME"

section "svcdefine: missing file and usage"
run x86/svcdefine.exe no_such_file.ini
run x86/svcdefine.exe

rm -f "$SVCDEF_INI"
