# Tests of the portable scan-code map unit: on the host, and under Wine for Windows.
setup_unit_tests(scancode_map_tests LIBS scancode_map key_table SOURCES ${CMAKE_CURRENT_LIST_DIR}/scancode_map_test.cpp)
