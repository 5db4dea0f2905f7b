# Capture benchmark: the recorder over the ALSA backend against arecord,
# both through the file-plugin configuration (run bench/audio_capture.sh).
add_executable(audio_capture_bench ${CMAKE_CURRENT_SOURCE_DIR}/audio_capture.cpp)
target_link_libraries(audio_capture_bench PRIVATE quillet_audio)
