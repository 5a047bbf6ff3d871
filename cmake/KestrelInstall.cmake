# Installs the library, its headers, a pkg-config file and a CMake package
# giving the target kestrel::kestrel; the tools, the simulator with its
# boards and profiles, the documentation, man pages and bash completion.
# Every rule names its component, which is also its Debian package
# (cmake/KestrelPackaging.cmake): Runtime, Development, Tools, Simulator.
#
# The library goes to CMAKE_INSTALL_LIBDIR as GNUInstallDirs sets it: for
# the prefix /usr on Debian that is the multiarch directory
# (lib/x86_64-linux-gnu), elsewhere lib. Configure with
# -DCMAKE_INSTALL_PREFIX=/usr for a system install; the Debian packages
# are built from such a tree (scripts/check-packages.sh).
include(CMakePackageConfigHelpers)

# COMPONENT=package: the Debian package of each install component.
set(KESTREL_PACKAGES Runtime=libkestrel1 Development=libkestrel-dev)
if(KESTREL_BUILD_TOOLS)
  list(APPEND KESTREL_PACKAGES Tools=kestrel-tools Simulator=kestrel-sim)
endif()

install(TARGETS kestrel EXPORT kestrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/kestrel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT Development)

set(KESTREL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kestrel)
install(EXPORT kestrelTargets NAMESPACE kestrel:: DESTINATION ${KESTREL_CMAKE_DIR} COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kestrelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kestrelConfig.cmake INSTALL_DESTINATION ${KESTREL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kestrelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kestrelConfig.cmake ${PROJECT_BINARY_DIR}/kestrelConfigVersion.cmake
  DESTINATION ${KESTREL_CMAKE_DIR} COMPONENT Development)

configure_file(${PROJECT_SOURCE_DIR}/cmake/kestrel.pc.in ${PROJECT_BINARY_DIR}/kestrel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kestrel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT Development)

# --- Tools and simulator ------------------------------------------------------
# An installed tree keeps its parts at these places relative to each other,
# so that it works wherever it is moved: programs find the library, and
# kestrel-sim its preload library and boards, from their own location.
set(KESTREL_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/kestrel)
set(KESTREL_INSTALL_SIM_LIBDIR ${CMAKE_INSTALL_LIBDIR}/kestrel)
set(KESTREL_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/kestrel)
set(KESTREL_INSTALL_COMPLETIONDIR ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
file(RELATIVE_PATH KESTREL_BIN_TO_LIB /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
file(RELATIVE_PATH KESTREL_BIN_TO_SIM_LIBDIR /${CMAKE_INSTALL_BINDIR} /${KESTREL_INSTALL_SIM_LIBDIR})
file(RELATIVE_PATH KESTREL_BIN_TO_DATADIR /${CMAKE_INSTALL_BINDIR} /${KESTREL_INSTALL_DATADIR})

# kestrel_install_program(TARGET COMPONENT): a program in bin/ that finds
# libkestrel.so.1 beside its own tree.
function(kestrel_install_program target component)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${KESTREL_BIN_TO_LIB}")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
endfunction()

if(KESTREL_BUILD_TOOLS)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/sim/smbios/boards/ DESTINATION ${KESTREL_INSTALL_DATADIR}/boards
    COMPONENT Simulator FILES_MATCHING PATTERN "*.json")
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/sim/profiles/ DESTINATION ${KESTREL_INSTALL_DATADIR}/profiles
    COMPONENT Simulator FILES_MATCHING PATTERN "*.json")
  install(FILES ${PROJECT_SOURCE_DIR}/tools/completion/kestrelctl
    DESTINATION ${KESTREL_INSTALL_COMPLETIONDIR} COMPONENT Tools)
  install(FILES ${PROJECT_SOURCE_DIR}/tools/completion/kestrel-sim
    DESTINATION ${KESTREL_INSTALL_COMPLETIONDIR} COMPONENT Simulator)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/simulator.md ${PROJECT_SOURCE_DIR}/docs/recording.md
    DESTINATION ${KESTREL_INSTALL_DOCDIR} COMPONENT Simulator)
endif()

# --- Documentation -------------------------------------------------------------
# The documents in share/doc/kestrel, each with the package it is about;
# every package also has its copyright file in share/doc/<package>.
file(GLOB KESTREL_DOCS ${PROJECT_SOURCE_DIR}/docs/*.md)
list(FILTER KESTREL_DOCS EXCLUDE REGEX "/(simulator|recording|kestrelctl)\\.md$")
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${KESTREL_DOCS} DESTINATION ${KESTREL_INSTALL_DOCDIR}
  COMPONENT Development)
if(KESTREL_BUILD_TOOLS)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/kestrelctl.md DESTINATION ${KESTREL_INSTALL_DOCDIR} COMPONENT Tools)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libkestrel1 COMPONENT Runtime)
foreach(entry IN LISTS KESTREL_PACKAGES)
  string(REPLACE "=" ";" entry ${entry})
  list(GET entry 0 component)
  list(GET entry 1 package)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
    COMPONENT ${component})
endforeach()

# Man pages from docs/man/NAME.SECTION.scd, built with scdoc when it is there.
find_program(KESTREL_SCDOC scdoc)
if(NOT KESTREL_SCDOC)
  message(STATUS "scdoc not found: the man pages are not built (scripts/install-deps.sh installs it)")
else()
  set(KESTREL_MAN_PAGES "libkestrel.3=Development")
  if(KESTREL_BUILD_TOOLS)
    list(APPEND KESTREL_MAN_PAGES "kestrelctl.1=Tools" "quillhost.1=Tools" "kestrel-sim.1=Simulator" "kestrel-record.1=Simulator")
  endif()
  set(outputs)
  foreach(entry IN LISTS KESTREL_MAN_PAGES)
    string(REPLACE "=" ";" entry ${entry})
    list(GET entry 0 page)
    list(GET entry 1 component)
    string(REGEX REPLACE ".*\\." "" section ${page})
    set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.scd)
    set(output ${PROJECT_BINARY_DIR}/man/${page})
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${KESTREL_SCDOC} < ${source} > ${output}
      DEPENDS ${source} VERBATIM)
    list(APPEND outputs ${output})
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
  endforeach()
  add_custom_target(kestrel_man_pages ALL DEPENDS ${outputs})
endif()
