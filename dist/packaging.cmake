# The .deb and the .tar.gz of the installed tree, made by one command after the build:
#   cmake --build build --target package        (into build/packages/)
# Both hold the tree cmake --install makes (dist/CMakeLists.txt): under /usr in the .deb, under
# one top folder in the .tar.gz, which runs wherever it is unpacked.
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_PACKAGE_NAME ostravel)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Ostravel developers")
set(OSTRAVEL_PACKAGE_MAINTAINER "Ostravel maintainers <maintainers@users.noreply.c-seed-96dbb9f6.example>"
    CACHE STRING "Maintainer of the .deb (name <address>)")
set(CPACK_PACKAGE_CONTACT "${OSTRAVEL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audio-visual show locked to its music")
set(CPACK_PACKAGE_DESCRIPTION
    "Ostravel plays one piece of music and renders a fixed 195.5-second show
locked to it in an 800 x 600 OpenGL window. Every frame a frame of a video
is analysed (corners, edges, contours) and the results become animated line
geometry, layered with extruded lettering, a feedback glow and sprites that
pulse on the beat.

The package holds the show with its data, and ostravel-capture, which
renders the show without a screen into PNG frames or a video ready for
upload (with ffmpeg).")
set(CPACK_OUTPUT_FILE_PREFIX packages)
set(CPACK_PACKAGE_FILE_NAME "ostravel-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
# Debian wants stripped binaries; the build tree keeps its debugging information.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the binaries link come from dpkg-shlibdeps (run time packages, never -dev).
# What it cannot see is named here: libEGL, which SDL's offscreen driver (the capture tool) and
# libepoxy open at run time, and which nothing else pulls in; the Mesa parts that libGL and libEGL
# load in turn (llvmpipe where no GPU driver is); the font fontconfig resolves "Arial" bold to.
# ffmpeg is only needed for --video.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libegl1, libgl1-mesa-dri, libglx-mesa0, libegl-mesa0, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ffmpeg)

include(CPack)
