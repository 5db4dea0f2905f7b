# GUI responsiveness benchmark: the gaps between the ticks of a 10 ms timer
# on the GUI thread while the send workflow runs one job (a paced and an
# unpaced SMTP upload to a sink thread, a lame encode saved as .eml);
# driven by gui_responsiveness.sh.
add_executable(gui_responsiveness_bench ${CMAKE_CURRENT_LIST_DIR}/gui_responsiveness.cpp)
target_link_libraries(gui_responsiveness_bench PRIVATE quillet_workflow Threads::Threads)
set_target_properties(gui_responsiveness_bench PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
