# The SWF engine over the real SWF library and the stand-in Flash control. The library's master volume is
# the prefix's mixer, so this program takes the library's volume lock.
vantrel_test(swfplayer_test TIER win32
    SOURCES swfplayer_test.cpp flash_control_host.cpp ${VANTREL_ROOT}/player/SwfPlayer.cpp
    LIBS quorra swf_writer winmm ole32 oleaut32 uuid shell32 user32 gdi32
    RESOURCE_LOCK quorra_master_volume)
target_include_directories(swfplayer_test PRIVATE ${VANTREL_ROOT}/player)
add_dependencies(swfplayer_test flash_standin)
