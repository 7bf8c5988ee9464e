# Installs the library (with SONAME and version), the public headers, the
# command-line tool with its man page, the udev rules, pkg-config and CMake package files, and
# the user guide with the example programs (buildable on their own).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(VantixSdk PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
target_include_directories(VantixSdk INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS VantixSdk EXPORT VantixTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
# Installed programs find the library of their own prefix, wherever that is.
file(RELATIVE_PATH VANTIX_BIN_TO_LIB "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${CMAKE_INSTALL_LIBDIR}")
set_target_properties(vantix vantix-viewer PROPERTIES INSTALL_RPATH "$ORIGIN/${VANTIX_BIN_TO_LIB}")
install(TARGETS vantix vantix-viewer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The dialogs' GTK view, loaded by the library from vantix/ beside itself.
install(TARGETS vantix_dialogs_gtk LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/vantix)
install(FILES docs/vantix.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES include/vantix/exports.h include/vantix/linux_ext.h include/vantix/types.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vantix)
# udev reads <prefix>/lib/udev/rules.d, never the multiarch library folder.
install(FILES packaging/60-vantix-camera.rules DESTINATION lib/udev/rules.d)
set(VANTIX_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vantix)
install(FILES docs/USER_GUIDE.md DESTINATION ${VANTIX_DOC_DIR})
install(FILES examples/hello_vantix.c examples/grab_frame.c examples/callback_preview.c examples/registers.c
              examples/save_every_format.cpp examples/record_avi.cpp examples/x11_preview.c
              examples/installed/CMakeLists.txt
        DESTINATION ${VANTIX_DOC_DIR}/examples)

# pkg-config hands its paths to compilers and build logs as they are, so the
# file names the prefix it is installed to (cmake --install --prefix
# included): the prefix is filled in when the file is installed.
set(VANTIX_PC_PREFIX "@VANTIX_PC_PREFIX@")
configure_file(cmake/vantix.pc.in ${CMAKE_BINARY_DIR}/vantix.pc.install @ONLY)
install(CODE "
  set(VANTIX_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${CMAKE_BINARY_DIR}/vantix.pc.install\"
                 \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/vantix.pc\" @ONLY)
  message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/vantix.pc\")
")

install(EXPORT VantixTargets NAMESPACE Vantix:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Vantix)
configure_file(cmake/VantixConfig.cmake.in ${CMAKE_BINARY_DIR}/VantixConfig.cmake @ONLY)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VantixConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VantixConfig.cmake ${CMAKE_BINARY_DIR}/VantixConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Vantix)
