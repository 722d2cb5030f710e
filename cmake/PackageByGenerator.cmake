# Read by CPack once for each package it makes: the .deb installs under /usr, the tarball holds
# bin/ and share/ at its top, for a prefix of the teacher's choosing.
if(CPACK_GENERATOR STREQUAL "TGZ")
    set(CPACK_PACKAGING_INSTALL_PREFIX "/")
endif()
