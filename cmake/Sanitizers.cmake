# AddressSanitizer and UndefinedBehaviorSanitizer for the whole build (CI turns them on), with
# the standard library's own checks (std::array, std::vector and std::span indexing, front()
# of an empty container, ...), which catch what stays inside an allocation.
# The dynamic-type check (vptr) stays off: a COM server library keeps its types to itself (hidden
# visibility, only the Dll* entry points exported), so an interface pointer that crosses a library
# boundary has the other library's type information, which that check takes for a wrong type.
if(FRAMZEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr
                      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
  add_link_options(-fsanitize=address,undefined)
endif()

# libFuzzer targets need clang; they link -fsanitize=fuzzer themselves. All code of a fuzz
# build carries the coverage feedback that guides the fuzzer.
if(FRAMZEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "FRAMZEL_FUZZ needs clang (configure with CXX=clang++ CC=clang)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
