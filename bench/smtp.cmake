# SMTP delivery benchmark: one message with a large attachment delivered by
# TNetSMTP (smtp_send_bench) and by curl to the same local sink
# (smtp_sink_bench); driven by smtp_delivery.sh.
add_executable(smtp_sink_bench ${CMAKE_CURRENT_LIST_DIR}/smtp_sink.cpp)
target_link_libraries(smtp_sink_bench PRIVATE quillet_base)
add_executable(smtp_send_bench ${CMAKE_CURRENT_LIST_DIR}/smtp_send.cpp)
target_link_libraries(smtp_send_bench PRIVATE quillet_smtp)
set_target_properties(smtp_sink_bench smtp_send_bench PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
# Connect race: time to a delivered mail when the first address of the
# server's name is a black hole, TNetSMTP against curl (connect_race.sh).
add_executable(connect_race_bench ${CMAKE_CURRENT_LIST_DIR}/connect_race.cpp)
target_link_libraries(connect_race_bench PRIVATE quillet_smtp)
set_target_properties(connect_race_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
