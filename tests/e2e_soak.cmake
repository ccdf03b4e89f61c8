# Random user actions during playback with the player's resources sampled (tools/soak: the long run).
# MALLOC_ARENA_MAX: see the test's opening comment.
if(TARGET Vantrel AND TARGET e2e_driver)
    vantrel_test(e2e_soak_test TIER e2e SOURCES e2e_soak_test.cpp LIBS e2e_driver
        PROPERTIES TIMEOUT 3600 ENVIRONMENT MALLOC_ARENA_MAX=1)
    add_dependencies(e2e_soak_test Vantrel)
endif()
