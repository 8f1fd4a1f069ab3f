# Every dependency is a Debian package (tools/debian-packages.txt).

# Rebuilds of the same sources (several build trees, clean clones) come from ccache when present.
find_program(FRAMZEL_CCACHE ccache)
if(FRAMZEL_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER ${FRAMZEL_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${FRAMZEL_CCACHE})
endif()
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(JPEG REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale
                  libswresample)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
if(FRAMZEL_TESTS)
  find_package(GTest REQUIRED)
endif()
if(FRAMZEL_BENCH)
  find_package(benchmark REQUIRED)
endif()

# The numeric tables of the standards (MPEG audio, JPEG, IMA-ADPCM) as checked data.
set(FRAMZEL_STANDARD_DATA_DIR ${CMAKE_SOURCE_DIR}/../shared/data CACHE PATH
    "Folder with the standards' numeric tables")
