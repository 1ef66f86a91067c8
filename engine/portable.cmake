# The engine's portable units: built for the host and for Windows, tested in both worlds.
add_library(layout_patch STATIC ${CMAKE_CURRENT_LIST_DIR}/layout_patch.cpp)
target_link_libraries(layout_patch PUBLIC key_table strings)
setup_program_target(layout_patch)
