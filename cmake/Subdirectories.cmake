# Adds the listed subfolders that have a CMakeLists.txt; areas appear as their code is written.
macro(framzel_add_existing_subdirectories)
  foreach(_dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_dir}/CMakeLists.txt)
      add_subdirectory(${_dir})
    endif()
  endforeach()
endmacro()
