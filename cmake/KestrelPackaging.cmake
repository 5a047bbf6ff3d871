# Debian packages, one per install component (KESTREL_PACKAGES in
# cmake/KestrelInstall.cmake), each with its copyright file:
#   libkestrel1     Runtime      the shared library (named after its SONAME), in the multiarch directory
#   libkestrel-dev  Development  headers, libkestrel.so, pkg-config and CMake files, docs, libkestrel(3)
#   kestrel-tools   Tools        kestrelctl and quillhost, kestrelctl's man page, document and completion
#   kestrel-sim     Simulator    kestrel-sim, libkestrel_sim.so, boards, profiles, its document
#   python3-kestrel Python       the Python package kestrel and its document (python/CMakeLists.txt)
# Built with `cpack -G DEB` in a build directory configured with
# -DCMAKE_INSTALL_PREFIX=/usr (scripts/check-packages.sh makes one).
set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VENDOR "libkestrel developers")
set(CPACK_PACKAGE_CONTACT "libkestrel developers <kestrel-dev@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL)
foreach(entry IN LISTS KESTREL_PACKAGES)
  string(REGEX REPLACE "=.*" "" component ${entry})
  list(APPEND CPACK_COMPONENTS_ALL ${component})
endforeach()
# The install rules place files for the prefix the tree was configured
# with: packages made from any other tree would put the library outside
# the multiarch directory, so cpack refuses them.
set(CPACK_KESTREL_CONFIGURED_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/KestrelPackagePrefixCheck.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)

set(kestrelVersion "${PROJECT_VERSION}")
set(cxxRuntime "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libkestrel1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "${cxxRuntime}")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "User-mode driver library of the PXI chassis controller\n The controller and watchdog interface and the trigger-routing adaptor.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libkestrel-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libkestrel1 (= ${kestrelVersion})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "Development files of libkestrel\n Headers, pkg-config and CMake package files, documentation.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME kestrel-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libkestrel1 (= ${kestrelVersion}), ${cxxRuntime}")
set(CPACK_DEBIAN_TOOLS_PACKAGE_SUGGESTS "kestrel-sim")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "Command-line tools of the PXI chassis controller\n kestrelctl reads and sets controller attributes and drives the watchdog timer,\n the trigger router and firmware updates; quillhost loads the routing adaptor\n as the routing framework does.")

set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME kestrel-sim)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_DEPENDS "${cxxRuntime}")
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_RECOMMENDS "libkestrel1 (= ${kestrelVersion})")
set(CPACK_COMPONENT_SIMULATOR_DESCRIPTION
  "Simulated PXI chassis controller\n kestrel-sim runs programs using libkestrel against a simulated kernel driver.")

# --- python3-kestrel: the Python package over the C interface ------------------
if(TARGET kestrel_python)
  list(APPEND CPACK_COMPONENTS_ALL Python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-kestrel)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3 (>= 3.9), libkestrel1 (= ${kestrelVersion})")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "kestrel-sim")
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION
    "Python package for the PXI chassis controller\n The kestrel package: the controller's attributes, identity, self test and firmware\n updates, the watchdog and trigger routing from Python, through libkestrel.so.1.")
endif()

include(CPack)
