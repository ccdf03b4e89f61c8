# The handle owners and guards of base/.
vantrel_test(base_test TIER logic SOURCES base_test.cpp LIBS vantrel_base)
