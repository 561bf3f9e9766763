# Builds example.msi from example.wxs with Debian's wixl, then authors what
# wixl 0.101 cannot, taking it from the same source:
#   - the IniFile table: wixl rejects <IniFile>, so the source keeps those
#     elements inside <?ifndef var.Wixl?> and this script writes their rows;
#   - the custom action types: wixl drops the in-script and rollback bits
#     (0x400 | 0x100) of Execute="rollback", which would make those actions
#     run at once, as immediate ones, and writes HideTarget="yes" as 0x800
#     (no impersonation) instead of 0x2000; this script sets every action's
#     type from its attributes, as the WiX toolset does.
# It also gives the product the code of its version: a name-based UUID of
# the version under the upgrade code, so that every version has its own (a
# major upgrade) and one version always the same.
#
#   cmake -DWIXL=... -DMSIBUILD=... -DMSIINFO=... -DSOURCE=example.wxs
#         -DDIST_DIR=... -DSERVICE_EXE=... -DVERSION=... -DOUTPUT=example.msi
#         -P build_package.cmake
cmake_minimum_required(VERSION 3.25)

foreach(var WIXL MSIBUILD MSIINFO SOURCE DIST_DIR SERVICE_EXE VERSION OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "build_package.cmake: ${var} is not set")
  endif()
endforeach()
get_filename_component(src_dir ${SOURCE} DIRECTORY)
set(work ${OUTPUT}.work)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
set(msi ${work}/example.msi)

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${work}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${rc}):\n${out}${err}")
  endif()
endfunction()

# wixl takes a Source path relative to its working folder (an absolute one
# is refused).
file(RELATIVE_PATH rel_dist ${work} ${DIST_DIR})
file(RELATIVE_PATH rel_service ${work} ${SERVICE_EXE})
file(RELATIVE_PATH rel_src ${work} ${src_dir})
string(UUID product_code NAMESPACE 47DD1E8D-F190-40C9-9EB7-58C3976116A7
  NAME "WT Example ${VERSION}" TYPE SHA1 UPPER)
run(${WIXL} -a x64 -D Wixl=1 -D Version=${VERSION} -D ProductCode={${product_code}} -D DistDir=${rel_dist}
  -D ServiceExe=${rel_service} -D SrcDir=${rel_src} -o ${msi} ${SOURCE})

# The source without its comments (CMake's expressions have no lazy match).
file(READ ${SOURCE} text)
set(bare "")
while(TRUE)
  string(FIND "${text}" "<!--" open)
  if(open EQUAL -1)
    string(APPEND bare "${text}")
    break()
  endif()
  string(SUBSTRING "${text}" 0 ${open} head)
  string(APPEND bare "${head}")
  string(SUBSTRING "${text}" ${open} -1 text)
  string(FIND "${text}" "-->" close)
  math(EXPR close "${close} + 3")
  string(SUBSTRING "${text}" ${close} -1 text)
endwhile()

# The text is cut into CMake lists below, where a semicolon (as in &quot;)
# would separate elements: it stands as @SEMICOLON@ until attr() takes a value.
string(REPLACE ";" "@SEMICOLON@" bare "${bare}")

# attr(<out> <element text> <name>): the attribute's value, entities decoded.
function(attr out element name)
  if(element MATCHES "[ \t\r\n]${name}=\"([^\"]*)\"")
    string(REPLACE "@SEMICOLON@" ";" v "${CMAKE_MATCH_1}")
    string(REPLACE "&quot;" "\"" v "${v}")
    string(REPLACE "&apos;" "'" v "${v}")
    string(REPLACE "&lt;" "<" v "${v}")
    string(REPLACE "&gt;" ">" v "${v}")
    string(REPLACE "&amp;" "&" v "${v}")
    set(${out} "${v}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

# IniFile rows, each with the component that holds it.
set(rows "")
string(REPLACE "<Component " ";<Component " parts "${bare}")
foreach(part IN LISTS parts)
  if(NOT part MATCHES "^<Component ")
    continue()
  endif()
  string(REGEX MATCH "^<Component [^>]*>" component "${part}")
  attr(component_id "${component}" Id)
  string(REGEX MATCHALL "<IniFile [^>]*>" inifiles "${part}")
  foreach(ini IN LISTS inifiles)
    set(fields "")
    foreach(name Id Name Directory Section Key Value Action)
      attr(${name} "${ini}" ${name})
    endforeach()
    if(Action STREQUAL "addLine")
      set(action 0)
    elseif(Action STREQUAL "createLine")
      set(action 1)
    elseif(Action STREQUAL "addTag")
      set(action 3)
    else()
      message(FATAL_ERROR "IniFile ${Id}: Action '${Action}' is not supported here")
    endif()
    string(APPEND rows "${Id}\t${Name}\t${Directory}\t${Section}\t${Key}\t${Value}\t${action}\t${component_id}\n")
  endforeach()
endforeach()
if(rows)
  file(WRITE ${work}/IniFile.idt
    "IniFile\tFileName\tDirProperty\tSection\tKey\tValue\tAction\tComponent_\n"
    "s72\tl255\tS72\tl96\tl128\tl255\ti2\ts72\n"
    "IniFile\tIniFile\n"
    "${rows}")
  run(${MSIBUILD} ${msi} -i ${work}/IniFile.idt)
endif()

# Custom action types, from the attributes: the source (base type) and
# Execute, Impersonate, Return and HideTarget.
string(REGEX MATCHALL "<CustomAction [^>]*>" actions "${bare}")
foreach(action IN LISTS actions)
  foreach(name Id BinaryKey FileKey Property Execute Impersonate Return HideTarget)
    attr(${name} "${action}" ${name})
  endforeach()
  if(BinaryKey)
    set(type 1)       # a DLL from the Binary table
  elseif(FileKey)
    set(type 18)      # an installed program with a command line
  elseif(Property)
    set(type 51)      # a property set to a formatted value
  else()
    message(FATAL_ERROR "custom action ${Id}: a source this script does not know")
  endif()
  if(Execute STREQUAL "deferred")
    math(EXPR type "${type} | 0x400")
  elseif(Execute STREQUAL "rollback")
    math(EXPR type "${type} | 0x500")
  elseif(Execute STREQUAL "commit")
    math(EXPR type "${type} | 0x600")
  elseif(Execute)
    message(FATAL_ERROR "custom action ${Id}: Execute '${Execute}' is not supported here")
  endif()
  if(Impersonate STREQUAL "no")
    math(EXPR type "${type} | 0x800")
  endif()
  if(Return STREQUAL "ignore")
    math(EXPR type "${type} | 0x40")
  elseif(Return AND NOT Return STREQUAL "check")
    message(FATAL_ERROR "custom action ${Id}: Return '${Return}' is not supported here")
  endif()
  if(HideTarget STREQUAL "yes")
    math(EXPR type "${type} | 0x2000")
  endif()
  run(${MSIBUILD} ${msi} -q "UPDATE `CustomAction` SET `Type` = ${type} WHERE `Action` = '${Id}'")
  list(APPEND typed "${Id}\t${type}\t")
endforeach()
execute_process(COMMAND ${MSIINFO} export ${msi} CustomAction
  OUTPUT_VARIABLE table RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "msiinfo export ${msi} CustomAction failed")
endif()
foreach(row IN LISTS typed)
  string(FIND "${table}" "\n${row}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "custom action row '${row}' is not in the package")
  endif()
endforeach()

file(RENAME ${msi} ${OUTPUT})
file(REMOVE_RECURSE ${work})
