# toolrun: the RunTool custom action outside an installation, in the cases
# the example package does not show: a non-zero exit code declared a
# success, a secret command line with a password on standard input, a tool
# stopped at its time-out, and malformed data. The installer's calls are
# printed instead of logged (toolrun/tests/toolrun_host.cpp): one INFO line
# per log record; the progress-dialog copy of each tool line is left out.
# The example package shows the DLL inside msiexec. Sourced by scripts/demo.

# toolrun_action DATA: runs the RunTool operation (x64) with DATA as its
# CustomActionData; prints the records and the action's result.
toolrun_action() {
  local out codefile rc
  out=$(mktemp); codefile=$(mktemp)
  printf '\n> RunTool, CustomActionData: %s\n' "$1"
  "$WINE" "$ROOT/build/x64/bin/wt_run.exe" "$("$WINE" winepath -w "$codefile" 2>/dev/null)" \
    "$ROOT/build/x64/bin/toolrun_host.exe" toolrun_host "$1" </dev/null >"$out" 2>&1 || true
  rc=$(tr -d '\r\n' <"$codefile")
  tr -d '\r' <"$out" | grep -v '^ACTIONDATA: ' || true
  echo "[result ${rc:-?}]"
  rm -f "$out" "$codefile"
}

toolrun_dist=$("$WINE" winepath -w "$ROOT/dist" 2>/dev/null)

section "toolrun: a tool's own lines in the log"
# svchalt ends with 3 for a service that does not exist; here that counts as
# success.
toolrun_action "action=Probe;codes=0,3;cmd=\"$toolrun_dist\\x64\\svchalt.exe\" NoSuchService 5"
# The password goes to acctmgr's standard input; neither it nor the command
# line is logged (acctmgr's own lines are). Wine accepts any password.
toolrun_action "action=CheckPassword;secret;cmd=\"$toolrun_dist\\x86\\acctmgr.exe\" -cupw -udemo@example.com -s;stdin=pa;ss=w0rd"

section "toolrun: a tool stopped at its time-out"
# A service that takes 30 s to stop; svchalt would wait 60 s, the action 3 s.
toolrun_svc=TevToolrunDemo
toolrun_bin="Z:${ROOT//\//\\}\\build\\x64\\bin\\wt_testsvc.exe"
wine_cmd sc create "$toolrun_svc" binpath= "\"$toolrun_bin\" --stop-ms 30000 --hint-ms 40000" displayname= "TEV Toolrun Demo"
wine_cmd sc start "$toolrun_svc"
toolrun_action "action=HaltService;timeout=3;cmd=\"$toolrun_dist\\x64\\svchalt.exe\" $toolrun_svc 60"

section "toolrun: malformed data starts nothing"
toolrun_action "action=Bad;codes=0,,1;cmd=\"$toolrun_dist\\x64\\svchalt.exe\" $toolrun_svc"

wine_cmd sc delete "$toolrun_svc"
