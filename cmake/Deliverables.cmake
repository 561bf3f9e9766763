# Helpers shared by the deliverables' CMakeLists.

# wt_version_resource(<target> <description>)
# Binds a VERSIONINFO resource into a deliverable: file and product version
# from the project version, <description> as its FileDescription, its file
# name as OriginalFilename.
function(wt_version_resource target description)
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(WT_VI_TYPE VFT_APP)
    set(WT_VI_FILE ${name}.exe)
  else()
    set(WT_VI_TYPE VFT_DLL)
    set(WT_VI_FILE ${name}.dll)
  endif()
  set(WT_VI_NAME ${name})
  set(WT_VI_DESCRIPTION "${description}")
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${out} @ONLY)
  target_sources(${target} PRIVATE ${out})
endfunction()

# wt_deliverable(<target> <description>)
# What every program and DLL that ships gets: its version resource, the
# lean replacements of unneeded runtime parts (common/src/lean_runtime.cpp)
# and the source date in its PE header (cmake/Reproducible.cmake).
function(wt_deliverable target description)
  wt_version_resource(${target} "${description}")
  if(WT_LINK_LAUNCHER)
    set_target_properties(${target} PROPERTIES
      C_LINKER_LAUNCHER "${WT_LINK_LAUNCHER}" CXX_LINKER_LAUNCHER "${WT_LINK_LAUNCHER}")
  endif()
  if(TARGET wtlean)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:wtlean>)
  endif()
endfunction()

# wt_console_program(<target> DESCRIPTION <text> SOURCES ... [MANIFEST])
# A console program with a wide entry point (wmain), made a deliverable.
# MANIFEST links the administrator manifest in.
function(wt_console_program target)
  cmake_parse_arguments(ARG "MANIFEST" "DESCRIPTION" "SOURCES" ${ARGN})
  if(NOT ARG_DESCRIPTION)
    message(FATAL_ERROR "wt_console_program(${target}): DESCRIPTION is required")
  endif()
  add_executable(${target} ${ARG_SOURCES})
  wt_deliverable(${target} "${ARG_DESCRIPTION}")
  if(ARG_MANIFEST)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/manifests/admin.rc)
    set_property(SOURCE ${PROJECT_SOURCE_DIR}/manifests/admin.rc APPEND PROPERTY
      OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/manifests/admin.manifest)
  endif()
  if(MINGW)
    target_link_options(${target} PRIVATE -municode -mconsole)
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION .)
endfunction()

# wt_test_tool(<target> <sources>...)
# A helper program of the tests or the demo: a console program with a wide
# entry point, never installed.
function(wt_test_tool target)
  add_executable(${target} ${ARGN})
  if(MINGW)
    target_link_options(${target} PRIVATE -municode)
  endif()
endfunction()

# wt_message_table(<target> <file.mc>)
# Compiles a message-text file into a message-table resource bound into
# <target>: windmc with mingw, mc.exe with MSVC. The generated header
# (<name>.h, identifiers as macros) is put on the target's include path.
function(wt_message_table target mcfile)
  get_filename_component(name ${mcfile} NAME_WE)
  get_filename_component(src ${mcfile} ABSOLUTE)
  set(outdir ${CMAKE_CURRENT_BINARY_DIR}/mc_${name})
  file(MAKE_DIRECTORY ${outdir})
  # The source is 8-bit text; -U stores the messages as Unicode.
  if(MSVC)
    find_program(WT_MC_EXE mc REQUIRED)
    set(cmd ${WT_MC_EXE} -U -h ${outdir} -r ${outdir} ${src})
  else()
    set(cmd ${CMAKE_MC_COMPILER} -U -h ${outdir} -r ${outdir} -b ${src})
  endif()
  add_custom_command(
    OUTPUT ${outdir}/${name}.h ${outdir}/${name}.rc
    COMMAND ${cmd}
    DEPENDS ${src}
    COMMENT "Compiling message table ${name}.mc"
    VERBATIM)
  target_sources(${target} PRIVATE ${outdir}/${name}.rc ${outdir}/${name}.h)
  target_include_directories(${target} PUBLIC ${outdir})
endfunction()

# wt_exit_codes_documented(<program> PAGE <docs page> CODES <file>:<enum>...)
# A test that fails when the program's reference page lacks one of the exit
# codes its code defines (cmake/CheckExitCodes.cmake). Registered once, in
# the x64 tree.
function(wt_exit_codes_documented program)
  cmake_parse_arguments(ARG "" "PAGE" "CODES" ${ARGN})
  if(NOT BUILD_TESTING OR NOT WT_ARCH STREQUAL "x64")
    return()
  endif()
  set(codes "")
  foreach(spec IN LISTS ARG_CODES)
    list(APPEND codes "${CMAKE_CURRENT_SOURCE_DIR}/${spec}")
  endforeach()
  string(REPLACE ";" "\\;" codes "${codes}")
  add_test(NAME docs/${program}_exit_codes
    COMMAND ${CMAKE_COMMAND} -DPAGE=${PROJECT_SOURCE_DIR}/${ARG_PAGE} "-DCODES=${codes}"
      -P ${PROJECT_SOURCE_DIR}/cmake/CheckExitCodes.cmake)
endfunction()
