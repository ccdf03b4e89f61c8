vantrel_test(gwindow_test TIER win32 SOURCES gwindow_test.cpp LIBS vantrel_core)
