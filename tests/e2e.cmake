# The built Vantrel.exe, started as a user would and watched from this process. Each e2e program links
# the driver that starts the program and finds its windows.
if(TARGET Vantrel)
    add_library(e2e_driver STATIC e2e_driver.cpp)
    target_link_libraries(e2e_driver PUBLIC GTest::gtest vantrel_base)
    vantrel_test(e2e_test TIER e2e SOURCES e2e_test.cpp LIBS e2e_driver)
    add_dependencies(e2e_test Vantrel)
endif()
