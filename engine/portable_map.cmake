# The scan-code map's byte layout, portable: built for the host, the fuzz build and Windows.
add_library(scancode_map STATIC ${CMAKE_CURRENT_LIST_DIR}/scancode_map.cpp)
target_link_libraries(scancode_map PUBLIC key_table)
setup_program_target(scancode_map)
