# The stand-in Flash control: its SWF reader and frame clock alone, the control driven through OLE in a
# window of the test's own, and what it paints, seen on the virtual display.
vantrel_test(swf_reader_test TIER logic SOURCES swf_reader_test.cpp LIBS swf_reader swf_writer)
vantrel_test(flash_control_test TIER win32 SOURCES flash_control_test.cpp flash_control_host.cpp
    LIBS swf_writer ole32 oleaut32 uuid psapi shell32 user32 gdi32)
vantrel_test(flash_control_video_test TIER video SOURCES flash_control_video_test.cpp flash_control_host.cpp
    LIBS swf_writer ole32 oleaut32 uuid shell32 user32 gdi32)
add_dependencies(flash_control_test flash_standin)
add_dependencies(flash_control_video_test flash_standin)
