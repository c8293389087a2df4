# Installation and the Debian package.
#
# The window program opens "Help.mht" beside itself, so it lives with its help
# document in a folder of its own, libexec/velnor/, and bin/velnor is a
# symbolic link to it (the program finds its folder through the link). The
# command-line tools go to bin/. The installed program cannot write its own
# folder, so its Repository lives in the user's data folder.
include(GNUInstallDirs)

set(VELNOR_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR}/velnor)

if(TARGET velnor)
  install(TARGETS velnor RUNTIME DESTINATION ${VELNOR_PROGRAM_DIR})
  install(FILES ${PROJECT_SOURCE_DIR}/res/Help.mht DESTINATION ${VELNOR_PROGRAM_DIR})
  file(RELATIVE_PATH _velnor_link_target /${CMAKE_INSTALL_BINDIR} /${VELNOR_PROGRAM_DIR}/velnor)
  install(CODE "
    set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${_bin}\")
    file(CREATE_LINK \"${_velnor_link_target}\" \"\${_bin}/velnor\" SYMBOLIC)
    message(STATUS \"Installing: \${_bin}/velnor -> ${_velnor_link_target}\")
  ")
  install(FILES ${PROJECT_SOURCE_DIR}/res/org.velnor.Velnor.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/res/org.velnor.Velnor.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/res/icons/velnor-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME org.velnor.Velnor.png)
  endforeach()
endif()
foreach(tool velnor-cli velnor-instrument)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# `make package` (or cpack -G DEB in the build folder): velnor_VERSION_ARCH.deb
# with its library dependencies computed by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velnor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velnor")
set(CPACK_PACKAGE_CONTACT "Velnor developers <developers@velnor.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "manage the songs of an electronic instrument over MIDI")
set(CPACK_PACKAGE_DESCRIPTION
    "Velnor connects to an electronic musical instrument over a MIDI port pair, lists its song
slots, sends Standard MIDI Files into a slot, fetches a slot's song back into a file and
deletes songs, and keeps a Repository folder of songs. It comes with a virtual instrument
to try everything without hardware, velnor-cli for the command line and
velnor-instrument, the virtual instrument on real MIDI ports for other programs.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velnor developers <developers@velnor.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's window system plugins are only recommended by its libraries; the
# window needs them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
