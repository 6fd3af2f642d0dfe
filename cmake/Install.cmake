# What `cmake --install` puts under the prefix; CPack packs the same tree.
#   POSIX:   bin/ostrelin, bin/kelodb, <libdir>/ostrelin/libVumoUtil.so,
#            share/man/man1/{ostrelin,kelodb}.1.gz, share/doc/ostrelin/README.md
#   Windows: Ostrelin.exe, kelodb.exe, Kelo.VumoUtil/{VumoUtil.dll, manifest},
#            README.md, all in one folder, as a private assembly wants it.
include(GNUInstallDirs)

if(WIN32)
    install(TARGETS ostrelin kelodb RUNTIME DESTINATION .)
    # The DLL; its import library only on request (--component Development).
    install(TARGETS VumoUtil RUNTIME DESTINATION ${VUMOUTIL_ASSEMBLY_NAME}
            ARCHIVE DESTINATION lib COMPONENT Development EXCLUDE_FROM_ALL)
    install(FILES ${VUMOUTIL_ASSEMBLY_DIR}/${VUMOUTIL_ASSEMBLY_NAME}.manifest
            DESTINATION ${VUMOUTIL_ASSEMBLY_NAME})
    install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
    return()
endif()

# The stand-in is the program's private library, not one for others to link:
# a folder of its own, which the installed program finds relative to itself.
set(OSTRELIN_INSTALL_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/ostrelin)
file(RELATIVE_PATH OSTRELIN_BIN_TO_LIB /${CMAKE_INSTALL_BINDIR} /${OSTRELIN_INSTALL_PRIVATE_LIBDIR})
set_target_properties(ostrelin PROPERTIES INSTALL_RPATH "$ORIGIN/${OSTRELIN_BIN_TO_LIB}")

install(TARGETS ostrelin kelodb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS VumoUtil LIBRARY DESTINATION ${OSTRELIN_INSTALL_PRIVATE_LIBDIR})
install(FILES ${OSTRELIN_MANUAL_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/ostrelin)
