# acctmgr: prepare and check the account a service will run under.
# Sourced by scripts/demo, which provides section, run and $WINE.

section "acctmgr: account rights and checks"
user=$("$WINE" cmd /c 'echo %USERDOMAIN%\%USERNAME%' 2>/dev/null | tr -d '\r')

run x86/acctmgr.exe
run x86/acctmgr.exe -cuadmin
run x86/acctmgr.exe -aur "-u$user" -rSeBatchLogonRight -rSeServiceLogonRight
run x86/acctmgr.exe -aur "-u$user" -rSeBatchLogonRight -r
run x86/acctmgr.exe -cug "-u$user"
run x86/acctmgr.exe -cug "-u$user" -gUsers
run x86/acctmgr.exe -cug -u
