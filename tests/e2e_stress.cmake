# Vantrel.exe under a stream of commands from another process while libvlc raises its events.
if(TARGET Vantrel)
    vantrel_test(e2e_stress_test TIER e2e SOURCES e2e_stress_test.cpp LIBS e2e_driver)
    target_include_directories(e2e_stress_test PRIVATE ${VANTREL_ROOT}/player/res)
    add_dependencies(e2e_stress_test Vantrel)
endif()
