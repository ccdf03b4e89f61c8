# The windows around the engines: the video area, the main window and the link module, on real windows
# under Wine's null driver, linked with the program's real modules and resources.
set(ui_test_common $<TARGET_OBJECTS:vantrel_res>)
vantrel_test(hyperlink_test TIER win32 SOURCES hyperlink_test.cpp ui_test.rc ${ui_test_common} LIBS vantrel_core)
# The cursor's position is one per desktop of the prefix: the cursor auto-hide tests move it and need it
# to stay put, so they never run beside programs that move it or move windows across the screen (the main
# window's full-screen and maximise tests; a run with them side by side once saw the cursor move).
vantrel_test(playwnd_test TIER win32 SOURCES playwnd_test.cpp ${ui_test_common} LIBS vantrel_core
    PROPERTIES RESOURCE_LOCK vantrel_cursor)
vantrel_test(mainwnd_test TIER win32 SOURCES mainwnd_test.cpp ${ui_test_common} LIBS vantrel_core
    PROPERTIES RESOURCE_LOCK vantrel_cursor)
# Releasing an instance of the SWF library sets the prefix's master volume (one mixer for every program)
# back to full, so the case that does it also takes the library's volume lock. The discovery's property
# list cannot carry a second lock name; the property is set once the discovered tests exist.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/playwnd_locks.cmake
    "set_tests_properties(playwnd_test.PlayWndTest.OpenKeepsTheWindowForTheSameEngineAndReplacesItForTheOther "
    "PROPERTIES RESOURCE_LOCK \"vantrel_cursor;quorra_master_volume\")\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_CURRENT_BINARY_DIR}/playwnd_locks.cmake)
