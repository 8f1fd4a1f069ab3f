# AddressSanitizer and UndefinedBehaviorSanitizer for the whole build (CI turns them on).
if(FRAMZEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# libFuzzer targets need clang; they add -fsanitize=fuzzer themselves.
if(FRAMZEL_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "FRAMZEL_FUZZ needs clang (configure with CXX=clang++ CC=clang)")
endif()
