# CPack: a ZIP of the Windows tree; a tarball and a Debian package of the
# POSIX one. The version is the project's (project() in CMakeLists.txt).
set(CPACK_PACKAGE_VENDOR "Ostrelin")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "export the web-filtering log to a CSV report")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_PACKAGE_NAME "Ostrelin")
    set(CPACK_SYSTEM_NAME "win64")
    set(CPACK_GENERATOR "ZIP")
else()
    set(CPACK_PACKAGE_NAME "ostrelin")
    set(CPACK_GENERATOR "TGZ;DEB")
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION "admin")
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ostrelin developers <ostrelin@example.org>")
    # CPack puts the summary above these lines.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "ostrelin writes, for every user profile of the machine, the URLs visited
over the last days, whether each visit was allowed or denied and the
site's content categories to a UTF-16LE CSV report. kelodb creates and
fills the datastore of the object library's stand-in shipped with it.")
    # Depends from the libraries the binaries link (libsqlite3-0, libstdc++6,
    # libc6...); the stand-in in its private folder needs no package.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
