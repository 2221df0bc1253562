# The Debian package: `cpack -G DEB` in a build directory. Its dependencies come from the
# binary through dpkg-shlibdeps, plus a font with Chinese glyphs, which no library pulls in.
# A name without a mailbox: the project has none to give.
set(PINWA_MAINTAINER "Pinwa developers" CACHE STRING "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME pinwa)
set(CPACK_PACKAGE_VENDOR "The Pinwa developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chat room for a local network")
set(CPACK_PACKAGE_DESCRIPTION "\
Pinwa is a desktop chat room for a local network, written on Qt 6 Widgets. One copy
hosts a room on a TCP port for up to 100 participants under unique nicknames. It
relays public talk and private whispers, keeps every user list current, broadcasts
notices and can remove participants. Other copies join as clients. Colours and one
of seven picture sets are chosen on the settings page. Its texts are Chinese, GB2312
on the wire.")
set(CPACK_PACKAGE_CONTACT ${PINWA_MAINTAINER})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PINWA_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-zenhei | fonts-noto-cjk")
# Rooms are announced and found through the desktop's Avahi daemon; without it, typed addresses.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "avahi-daemon")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

include(CPack)
