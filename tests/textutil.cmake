vantrel_test(textutil_test TIER logic SOURCES textutil_test.cpp LIBS vantrel_core)
