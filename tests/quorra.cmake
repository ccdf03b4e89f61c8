# The SWF control library through its exports. The library's master volume is the process's mixer, so the
# programs of this file do not run beside each other.
vantrel_test(quorra_test TIER win32 SOURCES quorra_test.cpp LIBS quorra winmm oleaut32 ole32 user32 gdi32 advapi32
    RESOURCE_LOCK quorra_master_volume)
# Also the library's volume object itself, over a double of the mixer calls, under the player's controller.
vantrel_test(quorra_volume_test TIER win32 SOURCES quorra_volume_test.cpp ${VANTREL_ROOT}/quorra/LibVolume.cpp
    LIBS quorra vantrel_core winmm user32
    RESOURCE_LOCK quorra_master_volume)
# What an instance shows on the virtual display. Releasing an instance sets the master volume, so the
# volume's lock applies beside the display's.
vantrel_test(quorra_video_test TIER video SOURCES quorra_video_test.cpp flash_control_host.cpp
    LIBS quorra swf_writer ole32 oleaut32 uuid shell32 user32 gdi32 RESOURCE_LOCK quorra_master_volume)
add_dependencies(quorra_video_test flash_standin)
