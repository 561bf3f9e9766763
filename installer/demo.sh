# installer: the main job, as a product uses the tools. The example package
# (installer/src/example.wxs, built by scripts/build) is installed with
# msiexec, which runs svcdefine, svcredesc, acctmgr, svclaunch and linkforge
# as its custom actions (through RunTool, which writes their lines into the
# log); then it is upgraded to the next version (example-next.msi) and
# removed, which runs svchalt, svcdefine -remove and linkforge -deleteall;
# then an installation is made to fail, and its log shows the tool's own
# words. Sourced by scripts/demo, which provides section, wine_cmd and $WINE.

INSTALLER_MSI=$ROOT/build/x64/installer/example.msi
INSTALLER_NEXT_MSI=$ROOT/build/x64/installer/example-next.msi
INSTALLER_DIR='C:\Program Files\WT Example'
INSTALLER_LINKS='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\WT Example'
INSTALLER_SERVICE_KEY='HKLM\SYSTEM\CurrentControlSet\Services\WtExampleSvc'

# msiexec_run ARGS...: runs Wine's msiexec with a verbose log ($INSTALLER_LOG),
# prints the command line, what it printed and its whole exit code (a Unix
# shell would see only the low 8 bits: 1627 as 91).
INSTALLER_LOG=$WINEPREFIX/drive_c/example-msi.log
msiexec_run() {
  local out codefile rc
  out=$(mktemp); codefile=$(mktemp)
  printf '\n> msiexec%s /qn /l*v C:\\example-msi.log\n' "$(winargs "$@")"
  "$WINE" "$ROOT/build/x64/bin/wt_run.exe" "$("$WINE" winepath -w "$codefile" 2>/dev/null)" \
    'C:\windows\system32\msiexec.exe' msiexec "$@" /qn /l*v 'C:\example-msi.log' \
    </dev/null >"$out" 2>&1 || true
  rc=$(tr -d '\r\n' <"$codefile")
  if [ -s "$out" ]; then
    echo "[what the tools printed: Wine passes it to msiexec's output, Windows discards it]"
    tr -d '\r' <"$out"
    # svclaunch's error line has no line end.
    [ -z "$(tail -c 1 "$out")" ] || echo
  fi
  echo "[exit code ${rc:-?}]"
  rm -f "$out" "$codefile"
}

# custom_actions: the log's lines for the package's own deferred actions as
# they ran in the script (the second time each is named), with their return
# values.
custom_actions() {
  local names
  names=$(msiinfo export "$INSTALLER_MSI" CustomAction | tail -n +4 \
    | awk -F'\t' '$2 != 51 && $2 != 8243 { print $1 }' | paste -sd'|')
  echo
  echo "[the log: the custom actions that ran; return value 1 is success]"
  grep -E "Action ended [0-9:]+: ($names)\\. " "$INSTALLER_LOG" \
    | awk '{ seen[$4]++ } seen[$4] == 2 { print "    " $4, $5, $6, $7 }' || true
}

# tool_lines ACTION...: what RunTool wrote into the log for these actions:
# the command line, the tool's own lines, its exit code. (Each tool line is
# logged twice, as information and as the progress line: shown once.)
tool_lines() {
  local pattern
  pattern=$(printf '%s|' "$@"); pattern=${pattern%|}
  echo
  echo "[the log: RunTool's lines of $*]"
  tr -d '\r' <"$INSTALLER_LOG" | grep -E "^($pattern): " | uniq | sed 's/^/    /' || true
}

# leftovers: what of the product is on the system: its service's key, its
# folder, its shortcut folder.
leftovers() {
  local what
  printf '\n> reg query "%s"\n' "$INSTALLER_SERVICE_KEY"
  what=$("$WINE" reg query "$INSTALLER_SERVICE_KEY" </dev/null 2>/dev/null | tr -d '\r' || true)
  echo "${what:-(no such key)}"
  printf '\n> dir /b /s "%s" "%s"\n' "$INSTALLER_DIR" "$INSTALLER_LINKS"
  what=$("$WINE" cmd /c dir /b /s "$INSTALLER_DIR" "$INSTALLER_LINKS" </dev/null 2>/dev/null | tr -d '\r' || true)
  echo "${what:-(no such folders)}"
}

if [ ! -f "$INSTALLER_MSI" ]; then
  section "The example package"
  echo "build/x64/installer/example.msi is missing: scripts/build makes it when wixl is installed (scripts/bootstrap)."
  return 0
fi
INSTALLER_PACKAGE=$("$WINE" winepath -w "$INSTALLER_MSI" 2>/dev/null | tr -d '\r')

section "The example package: the tools it runs, in the order of its script"
echo "(sequence, action, condition, then the tool and its command line, or the"
echo "RunTool data its Set... action gives it; see docs/installer.md)"
msiinfo export "$INSTALLER_MSI" CustomAction | tail -n +4 | tr -d '\r' >"$ROOT/build/installer-demo-actions"
msiinfo export "$INSTALLER_MSI" InstallExecuteSequence | tail -n +4 | tr -d '\r' | sort -t"$(printf '\t')" -k3n \
  | awk -F'\t' 'NR == FNR { if ($2 == 51 || $2 == 8243) { if ($1 ~ /^Set/) data[$3] = $4; next }
                           tool[$1] = $3; line[$1] = $4; next }
                ($1 in tool) { printf "  %s  %-26s  %s\n        %s\n", $3, $1, $2,
                               tool[$1] == "ToolRun" ? "RunTool: " data[$1] : tool[$1] " " line[$1] }' \
    "$ROOT/build/installer-demo-actions" -
rm -f "$ROOT/build/installer-demo-actions"

section "The example package: install"
msiexec_run /i "$INSTALLER_PACKAGE"
custom_actions
tool_lines GrantServiceLogon LaunchService
echo
echo "The service svcdefine defined from the installed service.ini (whose paths"
echo "the installer wrote), with svcredesc's description, started by svclaunch:"
wine_cmd sc query WtExampleSvc
wine_cmd reg query "$INSTALLER_SERVICE_KEY"
wine_cmd cmd /c type "$INSTALLER_DIR\\config\\service.ini"
echo
echo "The shortcuts linkforge made from lnk-stat.ini and lnk-read.ini:"
printf '\n> lnkinfo "%s"\n' "$INSTALLER_LINKS"
"$WINE" "$ROOT/build/x64/bin/lnkinfo.exe" "$INSTALLER_LINKS" </dev/null 2>/dev/null | tr -d '\r' || true

section "The example package: install again (nothing to do)"
msiexec_run /i "$INSTALLER_PACKAGE"

section "The example package: upgrade to the next version"
echo "The same source built as the next major version: RemoveExistingProducts"
echo "removes 1.0.0 inside this installation; its service and shortcuts stay"
echo "for the new version (Wine's removal takes them, and the new version makes"
echo "them again), whose description names it:"
INSTALLER_NEXT=$("$WINE" winepath -w "$INSTALLER_NEXT_MSI" 2>/dev/null | tr -d '\r')
msiexec_run /i "$INSTALLER_NEXT"
tool_lines DefineService LaunchService
wine_cmd reg query "$INSTALLER_SERVICE_KEY" /v Description
echo
echo "> the products registered (Uninstall key): one, version 2.0.0"
for key in $("$WINE" reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null \
               | tr -d '\r' | grep '{'); do
  "$WINE" reg query "$key" /v DisplayName 2>/dev/null | tr -d '\r' | grep -q 'WT Example' || continue
  "$WINE" reg query "$key" /v DisplayVersion 2>/dev/null | tr -d '\r' \
    | awk -v k="${key##*\\}" '/DisplayVersion/ { print "    " k, $3 }'
done

section "The example package: uninstall"
INSTALLER_MSI=$INSTALLER_NEXT_MSI
msiexec_run /x "$INSTALLER_NEXT"
custom_actions
echo
echo "Nothing is left: no service, no file, no shortcut or shortcut folder:"
leftovers

section "The example package: a service that cannot start fails the installation"
# The sample service refuses options it does not know and ends before it
# reports to the service manager: svclaunch cannot start it and exits with 4.
INSTALLER_MSI=$ROOT/build/x64/installer/example.msi
msiexec_run /i "$INSTALLER_PACKAGE" SERVICEOPTIONS=--cannot-start
custom_actions
tool_lines LaunchService RollbackLaunchService RollbackDefineService
echo
echo "Windows rolls back in reverse: the service is stopped and removed while"
echo "the tools are still installed. Wine removes the files first, so its"
echo "rollback cannot start them (error 2 above) and the service stays:"
leftovers
# Removed here, as the tests' harness does.
wine_cmd sc delete WtExampleSvc
