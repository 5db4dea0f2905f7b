# .eml writing benchmark: TNetMessage::WriteToFile of one message with a
# large attachment (message_writer_bench), compared with base64 and mpack on
# the same file by message_writer.sh.
add_executable(message_writer_bench ${CMAKE_CURRENT_LIST_DIR}/message_writer.cpp)
target_link_libraries(message_writer_bench PRIVATE quillet_message)
set_target_properties(message_writer_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
