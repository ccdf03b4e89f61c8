# The windows around the engines: the video area, the main window and the link module, on real windows
# under Wine's null driver. tmp_stubs_ui.cpp holds temporary stand-ins for the neighbouring modules.
set(ui_test_common $<TARGET_OBJECTS:vantrel_res> tmp_stubs_ui.cpp)
vantrel_test(hyperlink_test TIER win32 SOURCES hyperlink_test.cpp ui_test.rc ${ui_test_common} LIBS vantrel_core)
# The cursor's position is one per desktop of the prefix: the cursor auto-hide tests move it, so no two
# programs that move it run at the same time.
vantrel_test(playwnd_test TIER win32 SOURCES playwnd_test.cpp ${ui_test_common} LIBS vantrel_core
    PROPERTIES RESOURCE_LOCK vantrel_cursor)
vantrel_test(mainwnd_test TIER win32 SOURCES mainwnd_test.cpp ${ui_test_common} LIBS vantrel_core)
