# Portable core of Tarnwell: plain C++20, no Win32 header. The platform build
# adds its own TextCodec and BoardLocks (the _win files or the POSIX ones below).
set(TARNWELL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../net/BoardPacket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../net/IPv4.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../net/TextCodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../discovery/DiscoveryText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../download/FirmwareKind.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../download/Progress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../download/StatusLines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../download/DownloadView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../download/AckEvidence.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../download/DownloadSequencer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../app/SettingsPath.cpp
)
set(TARNWELL_CORE_POSIX_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../net/TextCodec_posix.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../download/BoardLocks_posix.cpp
)
