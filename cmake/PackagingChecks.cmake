# Read by cpack for each generator it runs (CPACK_PROJECT_CONFIG_FILE).
#
# A Debian system brings new versions through its own updates: the program from the Debian
# package must not fetch the update document unless the user asks for it in Preferences.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_MORVANE_UPDATE_CHECK_DEFAULT)
  message(FATAL_ERROR
          "The Debian package is made from a build configured with "
          "-DMORVANE_UPDATE_CHECK_DEFAULT=OFF (this build checks for updates by default).")
endif()

# The package's newest changelog entry must be this package: a new version without an entry of
# its own would carry the history of another one.
if(CPACK_GENERATOR STREQUAL "DEB")
  file(STRINGS ${CPACK_MORVANE_DEBIAN_CHANGELOG} newest LIMIT_COUNT 1)
  string(REPLACE "\\;" ";" newest "${newest}")  # file(STRINGS) escapes the ";" of the line
  set(version "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
  if(NOT newest MATCHES "^${CPACK_PACKAGE_NAME} \\(${version}\\) ")
    message(FATAL_ERROR "The newest entry of ${CPACK_MORVANE_DEBIAN_CHANGELOG} is not version "
                        "${version}: \"${newest}\"")
  endif()
endif()
