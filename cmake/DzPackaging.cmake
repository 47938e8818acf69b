# Installation and the Debian package (`make package`): the two executables,
# the desktop file, AppStream metadata, the icons and the man pages.
include(GNUInstallDirs)

# `cpack` installs what has been built; it need not build every benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Debian ships manual pages compressed, without a time stamp in the gzip
# header so the package builds the same each time.
function(dz_install_man_page name)
  set(source ${PROJECT_SOURCE_DIR}/ui/data/${name})
  set(compressed ${PROJECT_BINARY_DIR}/man/${name}.gz)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${compressed} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not compress ${source}")
  endif()
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

install(TARGETS dozuzavuvu-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
dz_install_man_page(dozuzavuvu-cli.1)
if(TARGET dozuzavuvu)
  install(TARGETS dozuzavuvu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/ui/data/dev.dozuzavuvu.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/ui/data/dev.dozuzavuvu.Dozuzavuvu.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${PROJECT_SOURCE_DIR}/ui/data/dev.dozuzavuvu.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  file(GLOB dz_status_icons ${PROJECT_SOURCE_DIR}/ui/data/status/*-symbolic.svg)
  install(FILES ${dz_status_icons} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/status)
  dz_install_man_page(dozuzavuvu.1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dozuzavuvu)
set(CPACK_PACKAGE_VENDOR "The Dozuzavuvu developers")
set(CPACK_PACKAGE_CONTACT "The Dozuzavuvu developers <maintainers@dozuzavuvu.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Clipboard cleaner: plain text, links or Markdown, every time you copy")
set(CPACK_PACKAGE_DESCRIPTION
    "Rewrites each copied text into plain text, plain text with links or Markdown, repairs text copied from PDFs and strips tracking parameters from links; with dozuzavuvu-cli, the cleaning engine on the command line.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The script engine and the dictionary are opened when first needed; Qt draws
# on a Wayland desktop without Xwayland only through its Wayland plugin.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libjavascriptcoregtk-4.1-0, hunspell-en-us, xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
