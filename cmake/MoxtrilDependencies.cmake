# What the runtime's libraries link to, found the same way in this tree and
# in a game that uses the installed runtime through find_package(Moxtril):
# the exported targets name these imported targets, so the game never lists
# the runtime's dependencies itself.
#
# The pkg-config prefixes are the runtime's own (MoxtrilDep_*), so a game
# that looks up SDL2 or libpng for itself under the usual names does not
# collide with them.
#
# In this tree a missing dependency stops the configuration; in a game's
# find_package it makes Moxtril not found, with the reason.
if(CMAKE_FIND_PACKAGE_NAME)
  include(CMakeFindDependencyMacro)
  find_dependency(Threads)
  find_dependency(OpenGL)
  find_dependency(PkgConfig)
  set(_moxtril_required "")
  if(Moxtril_FIND_QUIETLY)
    set(_moxtril_required QUIET)
  endif()
else()
  find_package(Threads REQUIRED)
  find_package(OpenGL REQUIRED)
  find_package(PkgConfig REQUIRED)
  set(_moxtril_required REQUIRED)
endif()

foreach(_moxtril_dep
    "SDL2:sdl2"
    "SDL2_MIXER:SDL2_mixer"
    "PNG:libpng"
    "ZLIB:zlib"
    "JPEG:libjpeg"
    "LZO2:lzo2"
    "FFMPEG:libavformat,libavcodec,libswscale,libswresample,libavutil")
  string(REPLACE ":" ";" _moxtril_parts "${_moxtril_dep}")
  list(GET _moxtril_parts 0 _moxtril_name)
  list(GET _moxtril_parts 1 _moxtril_modules)
  string(REPLACE "," ";" _moxtril_modules "${_moxtril_modules}")
  if(NOT TARGET PkgConfig::MoxtrilDep_${_moxtril_name})
    pkg_check_modules(MoxtrilDep_${_moxtril_name} ${_moxtril_required} IMPORTED_TARGET GLOBAL ${_moxtril_modules})
    if(NOT MoxtrilDep_${_moxtril_name}_FOUND)
      set(Moxtril_FOUND FALSE)
      set(Moxtril_NOT_FOUND_MESSAGE "Moxtril needs ${_moxtril_modules} (pkg-config found none)")
      return()
    endif()
  endif()
endforeach()
unset(_moxtril_required)
unset(_moxtril_dep)
unset(_moxtril_parts)
unset(_moxtril_name)
unset(_moxtril_modules)
