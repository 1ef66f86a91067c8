# The engine's portable units: built for the host and for Windows, tested in both worlds.
add_library(layout_patch STATIC ${CMAKE_CURRENT_LIST_DIR}/layout_patch.cpp)
target_link_libraries(layout_patch PUBLIC key_table strings)
setup_program_target(layout_patch)

# The PE header checksum of a changed image (also used by the packager).
add_library(pe_checksum STATIC ${CMAKE_CURRENT_LIST_DIR}/pe_checksum.cpp)
setup_program_target(pe_checksum)

# The choice of the layout images for a system (ARM64 Windows is tested on the host only).
add_library(layout_choice STATIC ${CMAKE_CURRENT_LIST_DIR}/layout_choice.cpp)
target_link_libraries(layout_choice PUBLIC platform)
setup_program_target(layout_choice)
