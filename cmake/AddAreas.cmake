# SPDX-License-Identifier: Apache-2.0
# Adds every sub-folder of the current source folder that has a CMakeLists.txt, in name order:
# each area (tests/link, bench/package, tools/vexlor-pack, ...) keeps its own build file.
function(vexlor_add_areas)
  file(GLOB _areas LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _areas)
  foreach(area IN LISTS _areas)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${area} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${area}/CMakeLists.txt)
      add_subdirectory(${area})
    endif()
  endforeach()
endfunction()
