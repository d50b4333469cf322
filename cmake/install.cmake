# Where `cmake --install` puts the programs, the manual, the examples, the desktop entry and the udev rule;
# CPack builds a Debian package of the same tree (`cpack -G DEB` in the build folder).
include(GNUInstallDirs)

set(zepa_installed_programs fusebuild fusedump zepaisp-cli)
foreach(program zepaisp zepa-sim)
  if(TARGET ${program})
    list(APPEND zepa_installed_programs ${program})
  endif()
endforeach()
# The programmers find fusebuild and fusedump beside themselves: all programs go into one folder.
install(TARGETS ${zepa_installed_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The desktop programmer's Help looks for the manual (and its picture) in ../share/doc/zepa beside its folder.
set(zepa_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/zepa)
install(FILES docs/manual.md docs/route-example.png README.md DESTINATION ${zepa_doc_dir})
install(DIRECTORY examples/ DESTINATION ${zepa_doc_dir}/examples)
if(TARGET zepaisp)
  install(FILES packaging/zepaisp.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
if(UNIX AND NOT APPLE)
  install(FILES packaging/60-zepaisp-parport.rules DESTINATION lib/udev/rules.d)
endif()

# The package's version is the programmer's own (the about box's).
file(STRINGS "${PROJECT_SOURCE_DIR}/app/ui/core/version.h" zepa_version_line REGEX "VersionText = \"")
string(REGEX REPLACE ".*VersionText = \"([^\"]+)\".*" "\\1" zepa_version "${zepa_version_line}")

set(CPACK_PACKAGE_NAME zepaisp)
set(CPACK_PACKAGE_VERSION ${zepa_version})
set(CPACK_PACKAGE_VENDOR "Zepa")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "In-system programming of ZEPA1, ZEPA2 and ZEPA3 CPLDs over JTAG")
set(CPACK_PACKAGE_CONTACT "Zepa ISP tool set maintainers <zepa@localhost>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "openocd")
include(CPack)
