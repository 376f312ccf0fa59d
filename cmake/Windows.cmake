# The Windows build: the framework layer, Tarnwell.exe, the test-only UI driver
# and the Windows-side tests (run by CTest under Wine).

set(TARNWELL_WIN_DEFINES UNICODE _UNICODE _WIN32_WINNT=0x0601 WINVER=0x0601)
set(TARNWELL_WIN_OPTIONS -Wall -Wextra)
# Address space layout randomisation (with relocations kept, and above 4 GB for 64-bit) and
# non-executable data for the programs users run.
set(TARNWELL_WIN_LINK -static -municode -Wl,--dynamicbase -Wl,--nxcompat -Wl,--high-entropy-va)

target_compile_definitions(tarnwell_core PUBLIC ${TARNWELL_WIN_DEFINES})
target_sources(tarnwell_core PRIVATE net/TextCodec_win.cpp download/BoardLocks_win.cpp)

# The adapter list, shared by the window and tarnwell-cli.exe.
add_library(tarnwell_adapters STATIC net/AdapterList_win.cpp)
target_compile_options(tarnwell_adapters PRIVATE ${TARNWELL_WIN_OPTIONS})
target_link_libraries(tarnwell_adapters PUBLIC tarnwell_core iphlpapi ws2_32)

add_library(tarnwell_framework STATIC
    framework/AsyncSocket.cpp
    framework/CallbackGuard.cpp
    framework/CmdTarget.cpp
    framework/Controls.cpp
    framework/DataExchange.cpp
    framework/Dialog.cpp
    framework/File.cpp
    framework/FileDialog.cpp
    framework/WinApp.cpp
    framework/Wnd.cpp)
target_include_directories(tarnwell_framework PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(tarnwell_framework PUBLIC ${TARNWELL_WIN_DEFINES})
target_compile_options(tarnwell_framework PRIVATE ${TARNWELL_WIN_OPTIONS})
target_link_libraries(tarnwell_framework PUBLIC ws2_32 comctl32 comdlg32 iphlpapi shlwapi ole32 uuid gdi32 user32)

# Everything of the program but its entry point, so the Windows tests can run the
# real window classes.
add_library(tarnwell_app STATIC
    app/ModulePath_win.cpp
    discovery/Discovery_win.cpp
    download/DownloadHost_win.cpp
    download/FirmwareFile_win.cpp
    net/BoardLink_win.cpp
    net/UDPDLSocket_win.cpp
    ui/AboutDlg.cpp
    ui/PingList.cpp
    ui/PingSpecific.cpp
    ui/TarnwellDlg.cpp)
target_compile_options(tarnwell_app PRIVATE ${TARNWELL_WIN_OPTIONS})
target_link_libraries(tarnwell_app PUBLIC tarnwell_core tarnwell_adapters tarnwell_framework)

set(TARNWELL_RC ${CMAKE_SOURCE_DIR}/res/Tarnwell.rc)
set(TARNWELL_RC_DEPENDS ${CMAKE_SOURCE_DIR}/res/Tarnwell.ico ${CMAKE_SOURCE_DIR}/res/Tarnwell.manifest
    ${CMAKE_SOURCE_DIR}/res/resource.h ${CMAKE_BINARY_DIR}/generated/TarnwellVersion.h)
set(TARNWELL_RC_INCLUDES -I${CMAKE_SOURCE_DIR}/res -I${CMAKE_SOURCE_DIR} -I${CMAKE_BINARY_DIR}/generated)
set_source_files_properties(${TARNWELL_RC} PROPERTIES OBJECT_DEPENDS "${TARNWELL_RC_DEPENDS}")
list(JOIN TARNWELL_RC_INCLUDES " " TARNWELL_RC_INCLUDE_FLAGS)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} ${TARNWELL_RC_INCLUDE_FLAGS}")

add_executable(Tarnwell WIN32 app/Main_win.cpp app/TarnwellApp.cpp ${TARNWELL_RC})
target_link_libraries(Tarnwell PRIVATE tarnwell_app)
target_link_options(Tarnwell PRIVATE ${TARNWELL_WIN_LINK})
set_target_properties(Tarnwell PROPERTIES OUTPUT_NAME Tarnwell)

# The compiled resources, checked against the window tables.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/Tarnwell.res
    COMMAND ${CMAKE_RC_COMPILER} ${TARNWELL_RC_INCLUDES} -O res ${TARNWELL_RC} -o ${CMAKE_BINARY_DIR}/Tarnwell.res
    DEPENDS ${TARNWELL_RC} ${TARNWELL_RC_DEPENDS})
add_custom_target(tarnwell_res ALL DEPENDS ${CMAKE_BINARY_DIR}/Tarnwell.res)

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/uidriver/CMakeLists.txt)
  add_subdirectory(tools/uidriver)
endif()
add_subdirectory(tools/holdfile)
add_subdirectory(tests/win)
add_subdirectory(tests/e2e)
add_subdirectory(cli)
add_subdirectory(bench)
