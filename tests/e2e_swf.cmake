# A Flash movie through the built Vantrel.exe, the SWF library and the stand-in Flash control.
if(TARGET Vantrel)
    vantrel_test(e2e_swf_test TIER e2e SOURCES e2e_swf_test.cpp LIBS e2e_driver)
    add_dependencies(e2e_swf_test Vantrel quorra flash_standin)
endif()
