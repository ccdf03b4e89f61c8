# The built Vantrel.exe, started as a user would and watched from this process.
if(TARGET Vantrel)
    vantrel_test(e2e_test TIER e2e SOURCES e2e_test.cpp)
    add_dependencies(e2e_test Vantrel)
endif()
