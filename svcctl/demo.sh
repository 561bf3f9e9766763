# Service control tools: an agent service of the product is started and
# waited for, given its description, and stopped again (by its display name)
# with the stop trace. The service program is the build's scripted test
# service (a test tool, so it lives in build/x64/bin, not in dist): it takes
# 2.5 s to start and 2 s to stop, reporting rising checkpoints and a 3 s wait
# hint, like a real service would.

section "Service control: start, re-describe and stop a service"

svcctl_name=TevDemoAgent
svcctl_display="TEV Demo Agent"
svcctl_bin="Z:${ROOT//\//\\}\\build\\x64\\bin\\wt_testsvc.exe"

wine_cmd sc create "$svcctl_name" binpath= "\"$svcctl_bin\" --start-ms 2500 --stop-ms 2000 --hint-ms 3000" displayname= "$svcctl_display"

run x86/svclaunch.exe "$svcctl_name" 60
run x86/svclaunch.exe "$svcctl_name"

run x64/svcredesc.exe "$svcctl_name" "Schedules the TEV product's background jobs"
wine_cmd reg query "HKLM\\SYSTEM\\CurrentControlSet\\Services\\$svcctl_name" /v Description

run x64/svchalt.exe "$svcctl_display" 60
run x64/svchalt.exe "$svcctl_name" 0
run x64/svchalt.exe "$svcctl_name"

wine_cmd sc delete "$svcctl_name"
