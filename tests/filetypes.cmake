vantrel_test(filetypes_test TIER win32 SOURCES filetypes_test.cpp tmp_stubs_textlist.cpp LIBS vantrel_core)
