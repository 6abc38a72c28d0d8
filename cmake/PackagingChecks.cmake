# Read by cpack for each generator it runs (CPACK_PROJECT_CONFIG_FILE).
#
# A Debian system brings new versions through its own updates: the program from the Debian
# package must not fetch the update document unless the user asks for it in Preferences.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_MORVANE_UPDATE_CHECK_DEFAULT)
  message(FATAL_ERROR
          "The Debian package is made from a build configured with "
          "-DMORVANE_UPDATE_CHECK_DEFAULT=OFF (this build checks for updates by default).")
endif()
