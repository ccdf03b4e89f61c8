# Fifty starts closed at random moments of their first seconds.
if(TARGET Vantrel AND TARGET e2e_driver)
    vantrel_test(e2e_closestorm_test TIER e2e SOURCES e2e_closestorm_test.cpp LIBS e2e_driver)
    add_dependencies(e2e_closestorm_test Vantrel)
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
        add_dependencies(e2e_closestorm_test vantrel_hostile_media)
    endif()
endif()
