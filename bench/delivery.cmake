# SMTP delivery benchmark: one message with a large attachment delivered by
# TNetSMTP (delivery_send_bench) and by curl to the same local sink
# (delivery_sink_bench); driven by delivery_smtp.sh.
add_executable(delivery_sink_bench ${CMAKE_CURRENT_LIST_DIR}/delivery_sink.cpp)
target_link_libraries(delivery_sink_bench PRIVATE quillet_base)
add_executable(delivery_send_bench ${CMAKE_CURRENT_LIST_DIR}/delivery_send.cpp)
target_link_libraries(delivery_send_bench PRIVATE quillet_delivery)
set_target_properties(delivery_sink_bench delivery_send_bench PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
