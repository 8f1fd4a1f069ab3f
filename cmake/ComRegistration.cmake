# framzel_register_com(target): makes the shared library `target` an in-process server of the
# build tree. After each build of it, fzregsvr registers it, so that the build tree's machine
# hive (bin/machine.reg, beside libfzplatform.so) holds its classes and the built tree runs
# uninstalled. FRAMZEL_REGISTRY_DIR is cleared for that step: a value left in the build's
# environment would send the registration elsewhere.
#
# It also builds the library with -fno-gnu-unique (GCC): GCC gives inline variables (every
# interface's kIid is one) STB_GNU_UNIQUE binding, and glibc never unloads a library that has
# such symbols, so DllCanUnloadNow and CoFreeUnusedLibraries would have no effect. (Clang does
# not use that binding.)
function(framzel_register_com target)
  target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
  add_dependencies(${target} fzregsvr)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env --unset=FRAMZEL_REGISTRY_DIR
            $<TARGET_FILE:fzregsvr> $<TARGET_FILE:${target}>
    COMMENT "Registering ${target} in the build tree's machine hive"
    VERBATIM)
endfunction()
