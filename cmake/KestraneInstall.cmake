# Install rules, the CMake package, pkg-config files and the Debian packages.
include(CMakePackageConfigHelpers)

set(KESTRANE_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/KestraneEncrypt")
set(KESTRANE_PC_DIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig")

install(TARGETS ${KESTRANE_LIBRARIES}
    EXPORT KestraneEncryptTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
        NAMELINK_COMPONENT development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES
        "${PROJECT_SOURCE_DIR}/include/KestraneEncrypt.h"
        "${KESTRANE_GENERATED_INCLUDE_DIR}/kestrane_export.h"
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    COMPONENT development)

install(EXPORT KestraneEncryptTargets
    NAMESPACE KestraneEncrypt::
    DESTINATION ${KESTRANE_CMAKE_DIR}
    COMPONENT development)
configure_package_config_file(
    "${CMAKE_CURRENT_LIST_DIR}/KestraneEncryptConfig.cmake.in"
    "${PROJECT_BINARY_DIR}/KestraneEncryptConfig.cmake"
    INSTALL_DESTINATION ${KESTRANE_CMAKE_DIR})
write_basic_package_version_file(
    "${PROJECT_BINARY_DIR}/KestraneEncryptConfigVersion.cmake"
    COMPATIBILITY SameMajorVersion)
install(FILES
        "${PROJECT_BINARY_DIR}/KestraneEncryptConfig.cmake"
        "${PROJECT_BINARY_DIR}/KestraneEncryptConfigVersion.cmake"
    DESTINATION ${KESTRANE_CMAKE_DIR}
    COMPONENT development)

# pkg-config files that find their prefix from where they are installed, so
# one file serves any install prefix.
file(RELATIVE_PATH KESTRANE_PC_PREFIX_FROM_PCDIR "/prefix/${KESTRANE_PC_DIR}" "/prefix")
foreach(KESTRANE_PC_NAME IN LISTS KESTRANE_LIBRARIES)
    configure_file("${CMAKE_CURRENT_LIST_DIR}/library.pc.in"
        "${PROJECT_BINARY_DIR}/${KESTRANE_PC_NAME}.pc" @ONLY)
    install(FILES "${PROJECT_BINARY_DIR}/${KESTRANE_PC_NAME}.pc"
        DESTINATION ${KESTRANE_PC_DIR}
        COMPONENT development)
endforeach()

# Debian packages: the run-time libraries, the development files, the tool.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrane-encrypt)
set(CPACK_PACKAGE_VENDOR "KestraneEncrypt")
set(CPACK_PACKAGE_CONTACT "KestraneEncrypt maintainers <maintainers@users.noreply.c-seed-4ff9dcfc.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libkestraneencrypt1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6 (>= 2.17)")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libkestraneencrypt-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME kestrane)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "libc6 (>= 2.17), libstdc++6 (>= 12)")
set(CPACK_COMPONENTS_ALL runtime development tool)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "KestraneEncrypt and TolvarisEncrypt shared libraries")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "Header, CMake package and pkg-config files")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_TOOL_DESCRIPTION "kestrane: scramble and unscramble files from the command line")
set(CPACK_COMPONENT_TOOL_DEPENDS runtime)
include(CPack)
