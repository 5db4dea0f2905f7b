# Outbox benchmark: COUNT queued mails sent by one quillet-send --flush
# (one connection, RSET between them) and by curl one process a mail, to
# the delivery benchmark's sink; outbox_fill_bench queues them. Driven by
# outbox.sh.
add_executable(outbox_fill_bench ${CMAKE_CURRENT_LIST_DIR}/outbox_fill.cpp)
target_link_libraries(outbox_fill_bench PRIVATE quillet_workflow)
set_target_properties(outbox_fill_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
