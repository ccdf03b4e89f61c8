# The windows around the engines: the video area, the main window and the link module, on real windows
# under Wine's null driver, linked with the program's real modules and resources.
set(ui_test_common $<TARGET_OBJECTS:vantrel_res>)
vantrel_test(hyperlink_test TIER win32 SOURCES hyperlink_test.cpp ui_test.rc ${ui_test_common} LIBS vantrel_core)
# The cursor's position is one per desktop of the prefix: the cursor auto-hide tests move it and need it
# to stay put, so they never run beside programs that move it or move windows across the screen (the main
# window's full-screen and maximise tests; a run with them side by side once saw the cursor move).
# Releasing an instance of the SWF library sets the prefix's master volume (one mixer for every program)
# back to full, and the video area's cases that open a movie release one: they take the library's volume
# lock too.
vantrel_test(playwnd_test TIER win32 SOURCES playwnd_test.cpp ${ui_test_common} LIBS vantrel_core
    RESOURCE_LOCK vantrel_cursor quorra_master_volume)
vantrel_test(mainwnd_test TIER win32 SOURCES mainwnd_test.cpp ${ui_test_common} LIBS vantrel_core
    RESOURCE_LOCK vantrel_cursor)
