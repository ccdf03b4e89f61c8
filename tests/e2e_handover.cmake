# Second starts handing their files to a running Vantrel.exe, watched through its trace lines on the
# debugger output (the driver runs the program under a debugger of its own).
if(TARGET Vantrel)
    vantrel_test(e2e_handover_test TIER e2e SOURCES e2e_handover_test.cpp LIBS e2e_driver)
    add_dependencies(e2e_handover_test Vantrel)
endif()
