vantrel_test(harness_test TIER logic SOURCES harness_test.cpp LIBS vantrel_core version)
add_dependencies(harness_test Vantrel)
