# Installation and packages: a Debian package on Linux, an installer on Windows.
include(GNUInstallDirs)

install(TARGETS vexo-setting RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(VEXO_PACKAGE_SUMMARY "configuration tool for the VEXO PX7 sim-racing pedal set")
set(VEXO_PACKAGE_DESCRIPTION
    "Shows the live pedal inputs, sets deadzones, calibrates each pedal, edits\nresponse curves and the profiles stored in the pedal set, imports and exports\nprofiles as INI files and updates the pedal set's firmware from a file or\nfrom the update server.")

if(UNIX AND NOT APPLE)
  install(FILES packaging/linux/vexo-setting.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # Lets software centres list the program, and offer it when the pedal set is plugged in.
  install(FILES packaging/linux/com.vexo_racing.vexo_setting.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES packaging/icons/vexo-setting-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME vexo-setting.png)
  endforeach()
  install(FILES app/resources/svg/vexo.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME vexo-setting.svg)
  # Packaged rules belong in /usr/lib/udev/rules.d, the joystick mark in /lib/udev/hwdb.d:
  # udev's own package rebuilds the hardware database when a file lands there (a dpkg
  # trigger on that literal path, which /usr/lib does not match, merged /usr or not). A
  # local install (any other prefix) puts both where the administrator's own files live,
  # since udev reads no other place. Decided at install time (a package is installed with
  # the prefix /usr); file(INSTALL) adds DESTDIR itself.
  set(_rule ${PROJECT_SOURCE_DIR}/packaging/linux/70-vexo-px7.rules)
  set(_hwdb ${PROJECT_SOURCE_DIR}/packaging/linux/70-vexo-px7.hwdb)
  install(CODE "
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      set(_udev_dir \"/usr/lib/udev/rules.d\")
      set(_hwdb_dir \"/lib/udev/hwdb.d\")
    else()
      set(_udev_dir \"/etc/udev/rules.d\")
      set(_hwdb_dir \"/etc/udev/hwdb.d\")
    endif()
    file(INSTALL \"${_rule}\" DESTINATION \"\${_udev_dir}\")
    file(INSTALL \"${_hwdb}\" DESTINATION \"\${_hwdb_dir}\")
    if(NOT CMAKE_INSTALL_PREFIX STREQUAL \"/usr\" AND NOT DEFINED ENV{DESTDIR})
      message(STATUS \"The joystick mark takes effect after: systemd-hwdb update (--usr where udev's database is in /lib/udev) && udevadm trigger --subsystem-match=input\")
    endif()
  ")

  # Debian wants the man page and changelog compressed, reproducibly.
  set(_gen ${PROJECT_BINARY_DIR}/packaging)
  add_custom_command(
    OUTPUT ${_gen}/vexo-setting.1.gz ${_gen}/changelog.Debian.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_gen}
    COMMAND gzip -n -9 -c ${PROJECT_SOURCE_DIR}/packaging/linux/vexo-setting.1 > ${_gen}/vexo-setting.1.gz
    COMMAND gzip -n -9 -c ${PROJECT_SOURCE_DIR}/packaging/linux/changelog > ${_gen}/changelog.Debian.gz
    DEPENDS packaging/linux/vexo-setting.1 packaging/linux/changelog
    VERBATIM)
  add_custom_target(vexo_package_docs ALL DEPENDS ${_gen}/vexo-setting.1.gz ${_gen}/changelog.Debian.gz)
  install(FILES ${_gen}/vexo-setting.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES packaging/linux/copyright ${_gen}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vexo-setting)

  set(CPACK_GENERATOR "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
  set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.vexo-racing.com")
  # Libraries (Qt 6 Widgets and Network, hidapi) come from dpkg-shlibdeps; Qt's
  # platform plugins are loaded at run time, so they are named here.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
  set(CPACK_STRIP_FILES TRUE)
elseif(WIN32)
  # The cross build's zip and installer are made by scripts/build-windows.sh; a native
  # build deploys Qt's libraries and plugins next to the executable with Qt's own script.
  if(NOT CMAKE_CROSSCOMPILING)
    qt_generate_deploy_app_script(TARGET vexo-setting FILENAME_VARIABLE _deploy_script
                                  NO_UNSUPPORTED_PLATFORM_ERROR)
    install(SCRIPT ${_deploy_script})
    install(FILES $<TARGET_RUNTIME_DLLS:vexo-setting> DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  set(CPACK_GENERATOR "ZIP")
endif()

set(CPACK_PACKAGE_NAME "vexo-setting")
set(CPACK_PACKAGE_VENDOR "VEXO")
set(CPACK_PACKAGE_CONTACT "VEXO Support <support@vexo-racing.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${VEXO_PACKAGE_SUMMARY}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${VEXO_PACKAGE_DESCRIPTION}")
include(CPack)
