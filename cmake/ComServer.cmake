# framzel_com_server(target [COMPONENT name] [NO_INSTALL])
#
# Makes the shared or module library `target` an in-process COM server:
#  - it exports its four entry points (DllGetClassObject, DllCanUnloadNow, DllRegisterServer,
#    DllUnregisterServer) and nothing else: compiled with hidden visibility, linked with
#    cmake/ComServerExports.map, which also keeps the code of static libraries linked into it
#    private. Clients create its classes by class identifier (platform/com/ComRuntime.h), never
#    by linking it;
#  - after each build, fzregsvr registers it into the build tree's machine hive
#    (bin/machine.reg), so the built tree runs uninstalled;
#  - it installs to lib/framzel, and `cmake --install` registers it there, with its installed
#    path, in the installed machine hive (FRAMZEL_MACHINE_HIVE_DIR under DESTDIR, or
#    $FRAMZEL_REGISTRY_DIR when set while installing). COMPONENT names the install component
#    (default: the project's); a component other than the default one is installed only when
#    asked for (`cmake --install BUILD --component NAME`). NO_INSTALL skips both.
function(framzel_com_server target)
  cmake_parse_arguments(ARG "NO_INSTALL" "COMPONENT" "" ${ARGN})
  get_target_property(_type ${target} TYPE)
  if(NOT _type STREQUAL "SHARED_LIBRARY" AND NOT _type STREQUAL "MODULE_LIBRARY")
    message(FATAL_ERROR "framzel_com_server(${target}): a COM server is a shared or module library")
  endif()
  set_target_properties(${target} PROPERTIES
    INSTALL_RPATH "$ORIGIN"
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  set(_exports ${PROJECT_SOURCE_DIR}/cmake/ComServerExports.map)
  target_link_options(${target} PRIVATE "LINKER:--version-script=${_exports}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${_exports})

  framzel_register_com(${target})

  if(ARG_NO_INSTALL)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY FRAMZEL_COM_SERVERS "${target}|${ARG_COMPONENT}")
  if(ARG_COMPONENT)
    install(TARGETS ${target} LIBRARY DESTINATION ${FRAMZEL_INSTALL_LIBDIR}
            COMPONENT ${ARG_COMPONENT} EXCLUDE_FROM_ALL)
  else()
    install(TARGETS ${target} LIBRARY DESTINATION ${FRAMZEL_INSTALL_LIBDIR})
  endif()
endfunction()

# framzel_register_com(target): registers the library into the build tree's machine hive after
# each build of it (part of framzel_com_server). FRAMZEL_REGISTRY_DIR is cleared for that step:
# a value left in the build's environment would send the registration elsewhere.
function(framzel_register_com target)
  add_dependencies(${target} fzregsvr)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env --unset=FRAMZEL_REGISTRY_DIR
            $<TARGET_FILE:fzregsvr> $<TARGET_FILE:${target}>
    COMMENT "Registering ${target} in the build tree's machine hive"
    VERBATIM)
endfunction()

# framzel_install_com_registrations(): called once at the end of the root CMakeLists.txt, after
# every program and library has its install rules, so that the installed fzregsvr and
# libfzplatform are in place when the servers are registered. For each server it runs the
# installed fzregsvr on the installed library at install time, when CMAKE_INSTALL_PREFIX is the
# prefix given to `cmake --install --prefix`.
function(framzel_install_com_registrations)
  string(CONFIGURE [[
function(framzel_install_register library)
  set(_root "$ENV{DESTDIR}")
  set(_installed "${CMAKE_INSTALL_PREFIX}/@FRAMZEL_INSTALL_LIBDIR@/${library}")
  set(_hive "$ENV{FRAMZEL_REGISTRY_DIR}")
  if(_hive STREQUAL "")
    set(_hive "${_root}@FRAMZEL_MACHINE_HIVE_DIR@")
  endif()
  message(STATUS "Registering: ${_installed} in ${_hive}/machine.reg")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env FRAMZEL_REGISTRY_DIR=${_hive}
            ${_root}${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_BINDIR@/fzregsvr
            --installed-as ${_installed} ${_root}${_installed}
    RESULT_VARIABLE _result)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR "fzregsvr could not register ${_installed} (${_result})")
  endif()
endfunction()
]] _define @ONLY)
  install(CODE "${_define}" ALL_COMPONENTS)
  get_property(_servers GLOBAL PROPERTY FRAMZEL_COM_SERVERS)
  foreach(_entry IN LISTS _servers)
    string(REPLACE "|" ";" _parts "${_entry}")
    list(GET _parts 0 _target)
    list(LENGTH _parts _count)
    set(_code "framzel_install_register(\"$<TARGET_FILE_NAME:${_target}>\")")
    if(_count GREATER 1)
      list(GET _parts 1 _component)
    else()
      set(_component "")
    endif()
    if(_component)
      install(CODE "${_code}" COMPONENT ${_component} EXCLUDE_FROM_ALL)
    else()
      install(CODE "${_code}")
    endif()
  endforeach()
endfunction()
