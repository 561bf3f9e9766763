# The built package's custom actions, read with msiinfo (no Wine): each has
# the type the installer guide promises, and each rollback action stands
# just before the action it undoes. Wine ignores the no-impersonation bit and
# runs every action elevated, so only this test sees it go.
#
#   cmake -DMSIINFO=... -DMSI=example.msi -P package_tables.cmake
cmake_minimum_required(VERSION 3.25)

# Action, type, and for a rollback action the action it undoes. The bits:
# 1 a DLL from the Binary table (RunTool), 18 an installed program, 51 a
# property set; 0x400 deferred (in the script), 0x100 with it rollback,
# 0x800 no impersonation, 0x40 the exit code ignored, 0x2000 target hidden.
#   3073 = 1 | 0x400 | 0x800              RunTool, deferred, not impersonated
#   3393 = 1 | 0x500 | 0x800 | 0x40       RunTool, rollback, code ignored
#   3090 = 18 | 0x400 | 0x800             the plain program, deferred
#   11265 = 3073 | 0x2000                 RunTool with a secret in its data
#   8243 = 51 | 0x2000                    a property set to a secret
# Every other action is a property set (51): Set..., Recall..., Default...,
# Forget....
set(table
  "RollbackHaltService 3393 HaltService"
  "HaltService 3073"
  "RollbackRedescribeService 3393 RemoveService"
  "RollbackRemoveService 3393 RemoveService"
  "RemoveService 3073"
  "RollbackDeleteStatusLink 3393 DeleteStatusLink"
  "DeleteStatusLink 3073"
  "RollbackDeleteReadmeLink 3393 DeleteReadmeLink"
  "DeleteReadmeLink 3073"
  "SetCheckServicePassword 8243"
  "CheckServicePassword 11265"
  "RollbackDefineService 3393 DefineService"
  "DefineService 3073"
  "DescribeService 3090"
  "GrantServiceLogon 3073"
  "RollbackLaunchService 3393 LaunchService"
  "LaunchService 3073"
  "RollbackStatusLink 3393 CreateStatusLink"
  "CreateStatusLink 3073"
  "RollbackReadmeLink 3393 CreateReadmeLink"
  "CreateReadmeLink 3073")

function(export name out)
  execute_process(COMMAND ${MSIINFO} export ${MSI} ${name} OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "msiinfo export ${MSI} ${name} failed")
  endif()
  string(REPLACE "\r" "" text "${text}")
  string(REPLACE ";" "\\;" text "${text}")
  string(REPLACE "\n" ";" rows "${text}")
  list(REMOVE_AT rows 0 1 2)  # column names, types, table name
  set(${out} "${rows}" PARENT_SCOPE)
endfunction()

set(failures "")
set(count 0)
export(CustomAction actions)
export(InstallExecuteSequence sequence)
foreach(row IN LISTS sequence)
  if(row MATCHES "^([^\t]+)\t[^\t]*\t([0-9]+)$")
    set(seq_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
  endif()
endforeach()
foreach(entry IN LISTS table)
  string(REPLACE " " ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 type)
  set(want_${name} ${type})
  list(LENGTH entry n)
  if(n EQUAL 3)
    list(GET entry 2 undone)
    set(undoes_${name} ${undone})
  endif()
endforeach()

foreach(row IN LISTS actions)
  if(NOT row MATCHES "^([^\t]+)\t([0-9]+)\t")
    continue()
  endif()
  set(name ${CMAKE_MATCH_1})
  set(type ${CMAKE_MATCH_2})
  if(DEFINED want_${name})
    set(want ${want_${name}})
  elseif(name MATCHES "^(Set|Recall|Default|Forget)")
    set(want 51)
  else()
    list(APPEND failures "${name}: not in the table")
    continue()
  endif()
  if(NOT type EQUAL want)
    list(APPEND failures "${name}: type ${type}, not ${want}")
  endif()
  if(NOT DEFINED seq_${name})
    list(APPEND failures "${name}: not in InstallExecuteSequence")
  endif()
  set(seen_${name} TRUE)
  math(EXPR count "${count} + 1")
endforeach()

# A rollback action before the action it undoes, with nothing between them
# but other rollback actions: Windows runs it only once the script has
# reached it, and then undoes what came after it first.
foreach(name IN LISTS table)
  string(REGEX REPLACE " .*" "" name "${name}")
  if(NOT seen_${name})
    list(APPEND failures "${name}: not in the package")
  elseif(DEFINED undoes_${name})
    set(from ${seq_${name}})
    set(to ${seq_${undoes_${name}}})
    if(NOT from LESS to)
      list(APPEND failures "${name} (${from}) does not stand before ${undoes_${name}} (${to})")
    endif()
    foreach(other IN LISTS table)
      string(REGEX REPLACE " .*" "" other "${other}")
      if(NOT DEFINED undoes_${other} AND seq_${other} GREATER from AND seq_${other} LESS to)
        list(APPEND failures "${other} stands between ${name} and ${undoes_${name}}")
      endif()
    endforeach()
  endif()
endforeach()

execute_process(COMMAND ${MSIINFO} export ${MSI} Property OUTPUT_VARIABLE properties)
if(NOT properties MATCHES "\nMsiHiddenProperties\tSERVICEPASSWORD;CheckServicePassword\r?\n")
  list(APPEND failures "MsiHiddenProperties does not name SERVICEPASSWORD and CheckServicePassword")
endif()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "${MSI}:\n  ${text}")
endif()
message(STATUS "${MSI}: ${count} custom actions as the guide gives them")
