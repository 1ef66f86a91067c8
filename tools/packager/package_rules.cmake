# setup_embedded_package(<target> MANIFEST <package.toml> OUT_DIR <dir>
#                        [DAMAGE table-byte|key-block-length] [VARS NAME=VALUE...] [DEPENDS ...])
#
# Runs the packager on a package folder and makes <target>, an OBJECT library that compiles the
# generated <dir>/embedded_package.cpp (the definition of kEmbeddedPackage); <dir>/package.bin is
# written beside it. The command runs again when the manifest or any file of its folder changes
# (the folder is globbed at configure time, CONFIGURE_DEPENDS picks up new files) or when the
# packager itself changes. VARS become --var options (for "${NAME}" in the manifest's paths);
# DEPENDS adds files or targets that produce inputs, such as the layout libraries. DAMAGE is for
# tests that need a package that must fail; never use it for a real build.
#
# setup_compiled_layout() (at the end) compiles a .klc file into its layout libraries.
#
# The packager is the host build's: SETUP_PACKAGER names its executable (a build for Windows
# gets it from the host build); in the host build itself the packager target is used.
include_guard(GLOBAL)

# Where demo/layouts builds our layout libraries; the demo manifest reads them as ${LAYOUTS}.
set(SETUP_DEMO_LAYOUTS_DIR ${CMAKE_BINARY_DIR}/demo_layouts)

set(SETUP_PACKAGER "" CACHE FILEPATH "The host build's packager executable (needed by the Windows build)")

# The packager to run and what a command that runs it depends on, in ${prefix}_packager and
# ${prefix}_dependency.
macro(setup_packager_command prefix target)
  if(SETUP_PACKAGER)
    set(${prefix}_packager ${SETUP_PACKAGER})
    set(${prefix}_dependency ${SETUP_PACKAGER})
  elseif(TARGET packager)
    set(${prefix}_packager $<TARGET_FILE:packager>)
    set(${prefix}_dependency packager)
  else()
    message(FATAL_ERROR "${target}: set SETUP_PACKAGER to the host build's packager")
  endif()
endmacro()

function(setup_embedded_package target)
  cmake_parse_arguments(ARG "" "MANIFEST;OUT_DIR;DAMAGE" "VARS;DEPENDS" ${ARGN})
  if(NOT ARG_MANIFEST OR NOT ARG_OUT_DIR)
    message(FATAL_ERROR "setup_embedded_package(${target}): MANIFEST and OUT_DIR are required")
  endif()
  setup_packager_command(run ${target})
  set(packager ${run_packager})
  set(packager_dependency ${run_dependency})

  get_filename_component(manifest "${ARG_MANIFEST}" ABSOLUTE)
  get_filename_component(folder "${manifest}" DIRECTORY)
  file(GLOB_RECURSE inputs CONFIGURE_DEPENDS "${folder}/*")
  set(options)
  foreach(variable IN LISTS ARG_VARS)
    list(APPEND options --var "${variable}")
  endforeach()
  if(ARG_DAMAGE)
    list(APPEND options "--damage=${ARG_DAMAGE}")
  endif()

  set(source "${ARG_OUT_DIR}/embedded_package.cpp")
  add_custom_command(
    OUTPUT "${source}" "${ARG_OUT_DIR}/package.bin"
    COMMAND ${packager} build "${manifest}" --out-dir "${ARG_OUT_DIR}" ${options}
    DEPENDS "${manifest}" ${inputs} ${packager_dependency} ${ARG_DEPENDS}
    COMMENT "Packaging ${manifest}"
    VERBATIM)
  add_library(${target} OBJECT "${source}")
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

# setup_demo_package(<target> OUT_DIR <dir> [DAMAGE kind]): the demo package (demo/package.toml)
# with our layout libraries, built first by the demo_layouts target.
function(setup_demo_package target)
  cmake_parse_arguments(ARG "" "OUT_DIR;DAMAGE" "" ${ARGN})
  set(damage)
  if(ARG_DAMAGE)
    set(damage DAMAGE ${ARG_DAMAGE})
  endif()
  setup_embedded_package(${target}
    MANIFEST ${PROJECT_SOURCE_DIR}/demo/package.toml
    OUT_DIR ${ARG_OUT_DIR}
    ${damage}
    VARS LAYOUTS=${SETUP_DEMO_LAYOUTS_DIR}
    DEPENDS demo_layouts)
endfunction()

# setup_compiled_layout(<target> KLC <file.klc> NAME <name> OUT_DIR <dir>): "packager compile" at
# build time, into <dir>/{i386,amd64,wow64,arm64}/<name>.dll (name: the file's KBD line).
function(setup_compiled_layout target)
  cmake_parse_arguments(ARG "" "KLC;NAME;OUT_DIR" "" ${ARGN})
  setup_packager_command(run ${target})
  set(outputs)
  foreach(edition i386 amd64 wow64 arm64)
    list(APPEND outputs ${ARG_OUT_DIR}/${edition}/${ARG_NAME}.dll)
  endforeach()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${run_packager} compile ${ARG_KLC} --out ${ARG_OUT_DIR}
    DEPENDS ${ARG_KLC} ${run_dependency}
    COMMENT "Compiling ${ARG_KLC}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
