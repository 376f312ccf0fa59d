# Native programs are built the way Debian builds its own packages: with the flags dpkg-buildflags
# gives when every hardening feature is asked for (fortified libc calls, stack protector, format
# checks, relocations made read-only and bound at start-up), and as position-independent
# executables, so that the loader can place them anywhere.
#
# Optimisation and debug information stay the build type's. _FORTIFY_SOURCE needs an optimising
# build, so a Debug tree goes without it rather than warning in every file.

include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
  message(WARNING "dpkg-buildflags (package dpkg-dev) not found: the programs are built without hardening flags")
  return()
endif()

function(tarnwell_buildflags out name)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${DPKG_BUILDFLAGS} --get ${name}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  # The prefix maps would name this checkout's path as of configuring; the build type says -g and -O.
  list(FILTER flags EXCLUDE REGEX "^(-g.*|-O.*|-f[a-z]*-prefix-map=.*)$")
  set(${out} "${flags}" PARENT_SCOPE)
endfunction()

tarnwell_buildflags(TARNWELL_HARDENING_CFLAGS CFLAGS)
tarnwell_buildflags(TARNWELL_HARDENING_CXXFLAGS CXXFLAGS)
tarnwell_buildflags(TARNWELL_HARDENING_CPPFLAGS CPPFLAGS)
tarnwell_buildflags(TARNWELL_HARDENING_LDFLAGS LDFLAGS)

add_compile_options("$<$<COMPILE_LANGUAGE:C>:${TARNWELL_HARDENING_CFLAGS}>"
                    "$<$<COMPILE_LANGUAGE:CXX>:${TARNWELL_HARDENING_CXXFLAGS}>"
                    "$<$<NOT:$<CONFIG:Debug>>:${TARNWELL_HARDENING_CPPFLAGS}>")
add_link_options(${TARNWELL_HARDENING_LDFLAGS})
message(STATUS "Hardening: ${TARNWELL_HARDENING_CXXFLAGS} ${TARNWELL_HARDENING_CPPFLAGS} ${TARNWELL_HARDENING_LDFLAGS}")
