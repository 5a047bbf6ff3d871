# SMBIOS provider: typed access to the board's SMBIOS structure table.
target_sources(kestrel_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/cZeSmBiosIndex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cZeSmBiosTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cZeSmBiosProvider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cZeSmBiosLinuxProvider.cpp)
