vantrel_test(playbar_test TIER win32
    SOURCES playbar_test.cpp $<TARGET_OBJECTS:vantrel_res>
    LIBS vantrel_core
    # its auto-hide cases move the one cursor of the desktop
    RESOURCE_LOCK vantrel_cursor)
