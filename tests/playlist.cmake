vantrel_test(playlist_test TIER logic SOURCES playlist_test.cpp LIBS vantrel_core)
