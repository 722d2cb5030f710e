# The release package: exercise-check linked statically with its case data and the platforms'
# scripts, as a .tar.gz (unpack it into /usr/local, or anywhere: the checker finds its data
# beside it) and a .deb that needs only g++. cmake --build --preset release --target package
# makes both in build/release. Only the exercise-check component goes in, not the nine programs.
set(CPACK_PACKAGE_NAME exercise-check)
set(CPACK_PACKAGE_VENDOR "console-exercises")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Checks learners' versions of nine console programs and grades them for course platforms")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "the maintainers of console-exercises")
set(CPACK_GENERATOR TGZ DEB)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};exercise-check;/")
set(CPACK_PACKAGE_FILE_NAME "exercise-check-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_SET_DESTDIR OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageByGenerator.cmake)
# The tarball unpacks as bin/ and share/, to go under a prefix of the teacher's choosing.
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# exercise-check_<version>_amd64.deb, as Debian names its packages.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "g++")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bubblewrap")
include(CPack)
