# The Debian package: (cd build && cpack -G DEB) writes build/sonomap_<version>_amd64.deb with
# everything the install rules put under /usr. Depends comes from dpkg-shlibdeps, run on the
# stripped programs.
set(CPACK_PACKAGE_NAME sonomap)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Ambrel)
set(CPACK_PACKAGE_CONTACT
    "Sonomap maintainers <maintainers@users.noreply.c-seed-d7423287.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sound editor for placing a sound in space over time")
# Lines of at most 80 columns, as dpkg shows them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Sonomap opens mono or stereo WAV and AIFF files of 8 to 32 bits or floats, shows"
    "their waveform and lets you draw a trajectory over it: where the sound is around"
    "the listener (azimuth all around, elevation, distance, width) over time. It"
    "plays the sound moving along the trajectory through a 3-D mixer, keeps the"
    "trajectory inside the sound file, and exports a two-channel file that plays"
    "with the movement on any player, binaural, Ambisonics or ADM. Other formats"
    "(FLAC, Ogg Vorbis, Opus, RF64, CAF) are imported through libsndfile."
    "sonomap-cli does the same work from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The default HRTF set of the SOFA renderer is a file of libmysofa1's, which dpkg-shlibdeps
# cannot see; the libraries linked it adds after this.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libmysofa1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${SONOMAP_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Only the package: a source tarball would carry the build folders with it.
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
