# The Debian package, built by CPack from what `cmake --install` lays out below /usr
# (scripts/package makes the release build and writes build/vorane-recorder_<version>_amd64.deb).

# What lintian asks of every package: the copyright and the Debian changelog, compressed.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright DESTINATION share/doc/vorane-recorder)
# The package is its own upstream (a version without a Debian revision), so the changelog is changelog.gz.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/debian/changelog > ${CMAKE_BINARY_DIR}/debian/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz DESTINATION share/doc/vorane-recorder)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorane-recorder)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vorane Audio Recorder team <recorder@vorane.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The install rules see /usr as their prefix (the desktop entry's Exec names /usr/bin/vorane-recorder).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vorane.org/recorder)
# CPack indents the lines after the synopsis and makes the empty one a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "sound recorder for microphone, line input and desktop sound
Vorane Audio Recorder records from a capture device and a source line of its
mixer (microphone, line in, or what the computer plays through the sound
server) and encodes while it records into the next free AudioN file of the
output folder, as WAV, MP3, Ogg Vorbis or WMA, with tags. Its window shows a
live trace and lists, plays and renames the recordings.

The package also holds vorane-record, the same recorder for the command line.")
# Linked libraries come from dpkg-shlibdeps. Loaded at run time, so found by no tool: the Vorbis
# libraries (the OGG receiver opens them by soname) and the GStreamer plug-ins the player needs
# (playback and Ogg in base; WAV, MP3 and the sound-server sink in good; ASF in ugly; WMA in libav).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libvorbis0a, libvorbisenc2, libogg0, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-ugly, gstreamer1.0-libav")
# The music folder's name (xdg-user-dir), opening files and folders (xdg-open), a sound server to record from.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-user-dirs, xdg-utils, pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pavucontrol")
# CPack takes our modules in /usr/lib/vorane-recorder for public libraries and adds maintainer scripts
# that run ldconfig; nothing links against them (the programs open them by path), so they go again.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/drop-ldconfig.cmake)
include(CPack)

# Everything the package carries, so scripts/package builds neither tests nor benchmarks.
add_custom_target(package_contents)
foreach(target VoraneRecorder vorane-record lame_enc platform_bass platform_basswma recorder_skins recorder_help
               recorder_icons recorder_man package_changelog)
  if(TARGET ${target})
    add_dependencies(package_contents ${target})
  endif()
endforeach()
