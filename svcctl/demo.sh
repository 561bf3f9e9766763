# Service control tools, called directly, in the cases the example package
# does not show: a start of a running service, a stop by display name with
# its trace, a stop of a stopped service, and a time-out of 0. The service
# program is the build's scripted test service: 2.5 s to start and 2 s to
# stop, with rising checkpoints and a 3 s wait hint. Sourced by scripts/demo.

section "Service control: start twice, stop by display name, stop twice"

svcctl_name=TevDemoAgent
svcctl_display="TEV Demo Agent"
svcctl_bin="Z:${ROOT//\//\\}\\build\\x64\\bin\\wt_testsvc.exe"

wine_cmd sc create "$svcctl_name" binpath= "\"$svcctl_bin\" --start-ms 2500 --stop-ms 2000 --hint-ms 3000" displayname= "$svcctl_display"

run x86/svclaunch.exe "$svcctl_name" 60
run x86/svclaunch.exe "$svcctl_name"
run x64/svchalt.exe "$svcctl_display" 60
run x64/svchalt.exe "$svcctl_name" 0
run x64/svchalt.exe "$svcctl_name"

wine_cmd sc delete "$svcctl_name"
