vantrel_test(filetypes_test TIER win32 SOURCES filetypes_test.cpp LIBS vantrel_core e2e_driver
    # the cases share the test application's keys
    RESOURCE_LOCK vantrel_filetypes)
