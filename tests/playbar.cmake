vantrel_test(playbar_test TIER win32
    SOURCES playbar_test.cpp tmp_stubs_bar.cpp $<TARGET_OBJECTS:vantrel_res>
    LIBS vantrel_core)
