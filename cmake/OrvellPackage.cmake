# cmake --install: liborvell.so*, orvell.h and orvell_block.h, a pkg-config
# file and a CMake package, all in the GNUInstallDirs places (the tool
# installs itself).
include(CMakePackageConfigHelpers)

set(ORVELL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Orvell)

# TagLib from a private prefix (such as /opt/taglib2) must still be found by
# the installed library; system directories add nothing. The directories
# come from pkg-config, since CMake's own link-path rule leaves out any
# that lie inside the build or source tree.
set(ORVELL_TAGLIB_RPATH "")
foreach(dir IN LISTS TAGLIB_LIBRARY_DIRS)
  if(NOT dir IN_LIST CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES AND
     NOT dir IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)
    list(APPEND ORVELL_TAGLIB_RPATH "${dir}")
  endif()
endforeach()
set_target_properties(orvell PROPERTIES INSTALL_RPATH "${ORVELL_TAGLIB_RPATH}")

install(TARGETS orvell EXPORT OrvellTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT OrvellTargets NAMESPACE Orvell:: DESTINATION ${ORVELL_CMAKE_DIR})
# The C helpers for the blocks go beside orvell.h, the library's public
# header (src/ names that one).
install(FILES ${PROJECT_SOURCE_DIR}/include/orvell_block.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

configure_file(${CMAKE_CURRENT_LIST_DIR}/OrvellConfig.cmake.in
  ${PROJECT_BINARY_DIR}/OrvellConfig.cmake @ONLY)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/OrvellConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/OrvellConfig.cmake ${PROJECT_BINARY_DIR}/OrvellConfigVersion.cmake
  DESTINATION ${ORVELL_CMAKE_DIR})

file(RELATIVE_PATH ORVELL_PC_TO_PREFIX
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ORVELL_PC_TO_PREFIX "${ORVELL_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/orvell.pc.in ${PROJECT_BINARY_DIR}/orvell.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/orvell.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
