# `cpack -G DEB` in the build folder makes the Debian package, from a build configured with
# -DMORVANE_UPDATE_CHECK_DEFAULT=OFF.
#
# The media libraries and SDL are opened at run time by the loader (services/FFmpegLoader), so
# dpkg-shlibdeps, which reads only the linked libraries, cannot see them: the package names them
# itself, from the major versions of the headers the loader was built against (the loader opens
# exactly those sonames).  libavdevice is never loaded, so it is not required.  Qt and the C++
# run time are linked and found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "Morvane")
set(CPACK_PACKAGE_CONTACT "Morvane <support@morvane.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch video and audio converter with device profiles")
# The package's long description, as its lines are shown: Debian wants them within 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Add video and audio files, pick one of 115 device and container profiles\n"
       "(iPod, PSP and phone MP4, Xvid AVI, DVD and VCD MPEG, MP3 ...), adjust and\n"
       "convert the batch. Includes the command-line converter morvane-convert.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.morvane.com/mp4-video-converter/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The first package of this version; its changelog (data/debian/changelog) names the same.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_MORVANE_DEBIAN_CHANGELOG ${PROJECT_SOURCE_DIR}/data/debian/changelog)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

function(morvane_runtime_package out module package_prefix)
  string(REGEX MATCH "^[0-9]+" major "${MEDIA_${module}_VERSION}")
  if(NOT major)
    message(FATAL_ERROR "No version for ${module}: cannot name its Debian package")
  endif()
  set(${out} "${package_prefix}${major}" PARENT_SCOPE)
endfunction()

set(MORVANE_RUNTIME_PACKAGES)
foreach(module avutil swresample swscale avcodec avformat avfilter)
  morvane_runtime_package(package lib${module} lib${module})
  list(APPEND MORVANE_RUNTIME_PACKAGES ${package})
endforeach()
# SDL 2 keeps the soname libSDL2-2.0.so.0 the loader opens.
list(APPEND MORVANE_RUNTIME_PACKAGES libsdl2-2.0-0)
# The windows draw their texts in DejaVu Sans.
list(APPEND MORVANE_RUNTIME_PACKAGES fonts-dejavu-core)
list(JOIN MORVANE_RUNTIME_PACKAGES ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# "Open" shows the output folder in the desktop's file manager; Qt's own catalogues put the
# buttons of its standard dialogs into the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")

# The update check's default of this build, for the checks cpack makes per generator.
set(CPACK_MORVANE_UPDATE_CHECK_DEFAULT ${MORVANE_UPDATE_CHECK_DEFAULT})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackagingChecks.cmake)

include(CPack)
