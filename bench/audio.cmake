# Capture benchmark: the recorder over the ALSA backend against arecord,
# both through the file-plugin configuration (run bench/audio_capture.sh).
add_executable(audio_capture_bench ${CMAKE_CURRENT_SOURCE_DIR}/audio_capture.cpp)
target_link_libraries(audio_capture_bench PRIVATE quillet_audio)
# Voice processing: time and peak memory of a one-minute and an hour-long take.
add_executable(voice_processing_bench ${CMAKE_CURRENT_SOURCE_DIR}/voice_processing.cpp)
target_link_libraries(voice_processing_bench PRIVATE quillet_audio)
