# linkforge: an installer creates its Start-menu shortcuts from the INI files
# it ships, for all users and for the current user; the shortcuts are listed
# with what they point to; the uninstaller deletes one by name and the rest
# by the INI file. Sourced by scripts/demo.

# links PATH...: prints every shortcut below the folders (read back through
# the shell link object by the tests' lnkinfo.exe).
links() {
  printf '\n> lnkinfo%s\n' "$(winargs "$@")"
  "$WINE" "$ROOT/build/x64/bin/lnkinfo.exe" "$@" </dev/null 2>/dev/null | tr -d '\r' || true
}
LINKFORGE_COMMON='%ProgramData%\Microsoft\Windows\Start Menu\Programs\WT Demo Suite'
LINKFORGE_USER='%APPDATA%\Microsoft\Windows\Start Menu\Programs\WT Demo Suite'

section "linkforge: shortcuts for all users"
cat >"$ROOT/dist/x64/wtdemo_links_all.ini" <<'INI'
[Constants]
createForAllUsers=true
folderStructure=WT Demo Suite\Tools
[Shortcut]
displayName=WT Demo Editor
target=C:\windows\notepad.exe
arguments=C:\windows\win.ini
startDirectory=C:\windows
iconLocation=%SystemRoot%\notepad.exe
iconIndex=0
[Shortcut]
displayName=WT Demo Registry
target=C:\windows\regedit.exe
startDirectory=
INI
printf '\nwtdemo_links_all.ini:\n'
sed 's/^/    /' "$ROOT/dist/x64/wtdemo_links_all.ini"
run x64/linkforge.exe -create wtdemo_links_all.ini

section "linkforge: a shortcut for the current user"
cat >"$ROOT/dist/x64/wtdemo_links_user.ini" <<'INI'
[Constants]
folderStructure=WT Demo Suite
[Shortcut]
displayName=WT Demo Console
target=C:\windows\system32\cmd.exe
arguments=/k echo WT Demo
startDirectory=C:\users\Public
iconIndex=3
INI
printf '\nwtdemo_links_user.ini:\n'
sed 's/^/    /' "$ROOT/dist/x64/wtdemo_links_user.ini"
run x64/linkforge.exe -create wtdemo_links_user.ini

section "linkforge: the shortcuts and their targets"
links "$LINKFORGE_COMMON" "$LINKFORGE_USER"

section "linkforge: delete one shortcut by name, then the rest by the INI file"
# Looked for below both Programs folders: found in one, so the exit code is 0.
run x64/linkforge.exe -delete 'WT Demo Suite' 'WT Demo Console'
run x64/linkforge.exe -deleteall wtdemo_links_all.ini
# The emptied folders are gone; the all-users "WT Demo Suite", parent of
# Tools, stays (empty).
links "$LINKFORGE_COMMON" "$LINKFORGE_USER"
# Deleting what is not there is not an error.
run x64/linkforge.exe -delete 'WT Demo Suite' 'WT Demo Console'

section "linkforge: a command outside its three forms"
run x64/linkforge.exe -remove wtdemo_links_all.ini

rm -f "$ROOT/dist/x64/wtdemo_links_all.ini" "$ROOT/dist/x64/wtdemo_links_user.ini"
