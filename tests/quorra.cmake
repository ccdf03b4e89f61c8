# The SWF control library through its exports. The library's master volume is the process's mixer, so the
# programs of this file do not run beside each other.
vantrel_test(quorra_test TIER win32 SOURCES quorra_test.cpp LIBS quorra winmm oleaut32 ole32 user32 gdi32 advapi32
    PROPERTIES RESOURCE_LOCK quorra_master_volume)
# Also the library's volume object itself, over a double of the mixer calls, under the player's controller.
vantrel_test(quorra_volume_test TIER win32 SOURCES quorra_volume_test.cpp ${VANTREL_ROOT}/quorra/LibVolume.cpp
    LIBS quorra vantrel_core winmm user32
    PROPERTIES RESOURCE_LOCK quorra_master_volume)
# What an instance shows on the virtual display. It releases its instance, which sets the master volume:
# the display's lock and the volume's lock both apply (one RESOURCE_LOCK list, set once the discovered
# tests exist, as the discovery's property list cannot carry two names).
vantrel_test(quorra_video_test TIER video SOURCES quorra_video_test.cpp flash_control_host.cpp
    LIBS quorra swf_writer ole32 oleaut32 uuid shell32 user32 gdi32)
add_dependencies(quorra_video_test flash_standin)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/quorra_video_locks.cmake
    "set_tests_properties(quorra_video_test.QuorraVideo.BlackWithoutAMovieBlackOverTheMoviesColourAndThePictureFollowsTheSize "
    "PROPERTIES RESOURCE_LOCK \"vantrel_display;quorra_master_volume\")\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_CURRENT_BINARY_DIR}/quorra_video_locks.cmake)
