# What `cmake --install` puts where (GNU layout under any prefix), and the
# Debian package that CPack builds from the same rules.
include(GNUInstallDirs)

find_program(QUORVANE_GZIP gzip REQUIRED)
set(QUORVANE_PACKAGED_DIR ${PROJECT_BINARY_DIR}/packaged)
# Manual pages and the changelog go out compressed, as Debian expects;
# -n keeps the archives reproducible.
set(QUORVANE_COMPRESSED)
foreach(source IN ITEMS ${QUORVANE_DOCS_DIR}/quorvane.1 ${QUORVANE_DOCS_DIR}/quorvane-gui.1
                        ${PROJECT_SOURCE_DIR}/data/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${QUORVANE_PACKAGED_DIR}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORVANE_PACKAGED_DIR}
    COMMAND ${QUORVANE_GZIP} -9n -c ${source} > ${QUORVANE_PACKAGED_DIR}/${name}.gz
    DEPENDS ${source})
  list(APPEND QUORVANE_COMPRESSED ${QUORVANE_PACKAGED_DIR}/${name}.gz)
endforeach()
add_custom_target(quorvane_compressed ALL DEPENDS ${QUORVANE_COMPRESSED})
add_dependencies(quorvane_compressed quorvane_docs)
configure_file(${PROJECT_SOURCE_DIR}/data/org.quorvane.quorvane.metainfo.xml ${QUORVANE_PACKAGED_DIR}/org.quorvane.quorvane.metainfo.xml @ONLY)

install(TARGETS quorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QUORVANE_PACKAGED_DIR}/quorvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QUORVANE_DOCS_DIR}/quorvane.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME quorvane)
install(FILES ${QUORVANE_DOCS_DIR}/_quorvane DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/data/copyright
              ${QUORVANE_PACKAGED_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(QUORVANE_GUI)
  install(TARGETS quorvane-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${QUORVANE_PACKAGED_DIR}/quorvane-gui.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/data/quorvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${QUORVANE_PACKAGED_DIR}/org.quorvane.quorvane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size IN ITEMS 16 32 48 256)
    install(FILES ${QUORVANE_ICONS_DIR}/quorvane-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quorvane.png)
  endforeach()
  install(FILES ${QUORVANE_ICONS_DIR}/quorvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# make package: a .deb whose dependencies dpkg-shlibdeps works out.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "quorvane developers <maintainers@quorvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test bench for telephony signal processing")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Finds DTMF digits and decodes FSK caller ID (Bell 202, V.23) in recorded\n line audio: WAV and other containers at any rate, A-law, stereo and RTP\n streams in packet captures. Also builds mu-law test files, silences quiet\n frames, computes HTTP and SIP digest responses and runs a driver script.\n One window (quorvane-gui) and a command line (quorvane) for batch work.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window is drawn in this font; without it the Chinese captions fall back.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-wqy-zenhei)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
