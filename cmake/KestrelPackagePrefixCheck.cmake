# Read by cpack (CPACK_PROJECT_CONFIG_FILE): Debian packages install into
# /usr, so they are made only from a tree configured for that prefix.
if(NOT CPACK_KESTREL_CONFIGURED_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
  message(FATAL_ERROR "This build is configured for ${CPACK_KESTREL_CONFIGURED_PREFIX}; the Debian packages install into "
    "${CPACK_PACKAGING_INSTALL_PREFIX}. Configure a build with -DCMAKE_INSTALL_PREFIX=${CPACK_PACKAGING_INSTALL_PREFIX} "
    "and run cpack there (scripts/check-packages.sh does both).")
endif()
