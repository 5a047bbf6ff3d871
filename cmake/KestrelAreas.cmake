# Adds every folder below the current source folder that has a
# CMakeLists.txt: tests, benchmarks, fuzz targets and simulator parts keep
# one folder per area.
function(kestrel_add_area_folders)
  file(GLOB areas LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(area IN LISTS areas)
    if(EXISTS ${area}/CMakeLists.txt)
      add_subdirectory(${area})
    endif()
  endforeach()
endfunction()
