# Install rules and the Debian package. Included last from the top-level CMakeLists.txt, so that
# every executable target exists by then. `cmake --install` lays out the freedesktop and Debian
# places (programs, desktop entry, icon theme, AppStream metainfo, manual pages, documentation);
# CPack turns the same layout into merlix_<version>_<arch>.deb (tools/package).
include(GNUInstallDirs)

set(MERLIX_APP_ID io.github.merlix.merlix)

install(TARGETS merlix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(_man_pages merlix.1)
if(TARGET merlix-cli)
  install(TARGETS merlix-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND _man_pages merlix-cli.1)
  # merlix-cli acts as the i2c-tools command a link to it is named after; the links are
  # relative, so they hold in the package and in any prefix.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/links)
  foreach(_tool i2cdetect i2cget i2cset i2cdump i2ctransfer)
    file(CREATE_LINK merlix-cli ${CMAKE_BINARY_DIR}/links/merlix-${_tool} SYMBOLIC)
    install(FILES ${CMAKE_BINARY_DIR}/links/merlix-${_tool} DESTINATION ${CMAKE_INSTALL_BINDIR})
  endforeach()
  # Shell completion where each shell looks for it: bash-completion's completionsdir, zsh's
  # vendor-completions and fish's vendor_completions.d.
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/completions/merlix-cli.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME merlix-cli)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/completions/_merlix-cli
          DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/completions/merlix-cli.fish
          DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
endif()

install(FILES ${CMAKE_SOURCE_DIR}/data/${MERLIX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/${MERLIX_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/merlix.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(_size 48 256)
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/merlix-${_size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps RENAME merlix.png)
endforeach()

# The udev rule that lets the seated user open a CH341A programmer; udev reads /usr/lib/udev/rules.d.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/udev/60-merlix-ch341a.rules DESTINATION lib/udev/rules.d)

# Manual pages are installed compressed, as Debian does; -n keeps the archive reproducible.
set(_man_outputs)
foreach(_page IN LISTS _man_pages)
  set(_out ${CMAKE_BINARY_DIR}/man/${_page}.gz)
  add_custom_command(OUTPUT ${_out}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                     COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/man/${_page} > ${_out}
                     DEPENDS ${CMAKE_SOURCE_DIR}/man/${_page} VERBATIM)
  list(APPEND _man_outputs ${_out})
endforeach()
add_custom_target(merlix_man_pages ALL DEPENDS ${_man_outputs})
# `cmake --install` after building the programs alone (the README's per-user install) finds
# their pages too.
add_dependencies(merlix merlix_man_pages)
if(TARGET merlix-cli)
  add_dependencies(merlix-cli merlix_man_pages)
endif()
install(FILES ${_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The README's links into docs/ keep working in the installed copy: the pages and the pictures
# it shows (tools/check-package fails on a relative link to a file the package lacks).
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/data/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "transfers-window.png"
        PATTERN "programmer-*.png" PATTERN screenshots EXCLUDE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME merlix)
set(CPACK_PACKAGE_VENDOR "Merlix developers")
set(CPACK_PACKAGE_CONTACT "Merlix developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "I2C bus monitor and serial EEPROM programmer for a parallel-port adapter")
# Kept under 80 columns a line, as Debian's control files want; CPack indents the lines itself.
set(CPACK_PACKAGE_DESCRIPTION
    "Merlix is a bench tool for technicians who work on I2C buses and small
serial EEPROMs through an adapter on a PC parallel port: a PCF8584 I2C
controller, and an output latch for Microwire and SPI memories and
M62358/M62359 converters.

It logs every transfer on the bus, writes device registers by hand, and
reads, edits, compares, fills and writes 24C01-24C16, 93C06-93C86 and
AT25C010-AT25C160 memories, from a window (merlix) or from scripts
(merlix-cli). Without an adapter it runs on a simulated bench that models
the port, the controller, the bus and the chips.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/merlix/merlix")
# Dependencies come from the shared libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
