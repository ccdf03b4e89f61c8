# Random user actions during playback with the player's resources sampled (tools/soak: the long run).
if(TARGET Vantrel AND TARGET e2e_driver)
    vantrel_test(e2e_soak_test TIER e2e SOURCES e2e_soak_test.cpp LIBS e2e_driver
        PROPERTIES TIMEOUT 3600)
    add_dependencies(e2e_soak_test Vantrel)
endif()
