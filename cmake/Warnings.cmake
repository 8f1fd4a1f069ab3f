# Warnings for the project's own targets: call framzel_warnings(target).
function(framzel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wcast-align -Wunused -Woverloaded-virtual -Wformat=2
                                           -Wimplicit-fallthrough)
  if(FRAMZEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
