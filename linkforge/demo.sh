# linkforge: delete one shortcut by its folder and name (-delete), looked
# for below both Programs folders. Creating shortcuts from an INI file and
# deleting them by it (-create, -deleteall) is shown by the example package
# (installer/demo.sh). Sourced by scripts/demo.

section "linkforge: delete one shortcut by name"
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
printf '\n> lnkinfo "%s"\n' '%APPDATA%\Microsoft\Windows\Start Menu\Programs\WT Demo Suite'
"$WINE" "$ROOT/build/x64/bin/lnkinfo.exe" '%APPDATA%\Microsoft\Windows\Start Menu\Programs\WT Demo Suite' \
  </dev/null 2>/dev/null | tr -d '\r' || true
# Found below one of the two Programs folders: exit code 0; the emptied folder
# goes with it.
run x64/linkforge.exe -delete 'WT Demo Suite' 'WT Demo Console'
# Deleting what is not there is not an error.
run x64/linkforge.exe -delete 'WT Demo Suite' 'WT Demo Console'

section "linkforge: a command outside its three forms"
run x64/linkforge.exe -remove wtdemo_links_user.ini

rm -f "$ROOT/dist/x64/wtdemo_links_user.ini"
