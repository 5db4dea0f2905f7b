// Keeping recordings through a crash: the size fields of a recording being
// written are brought up to date without moving the file position, and a
// recording whose sizes are stale (the program died mid-take) is repaired
// from its length. Only the recorder's own 44-byte PCM layout is repaired;
// anything else is left for the caller to set aside.
#pragma once

#include <cstdint>
#include <string>

// Writes length - 8 at offset 4 and length - 44 at offset 40 with pwrite, so
// an append in progress keeps its position. Raises EWriteError.
void WriteWaveSizes(int fd, int64_t length);

// length cut back to the 44-byte header plus whole blocks of blockAlign bytes.
int64_t WholeBlockLength(int64_t length, uint16_t blockAlign);

// Makes a recording left with stale sizes playable: the data is cut back to
// whole blocks and both size fields are set from the file's length. False
// (the file untouched) when it is not a PCM file of the recorder's layout,
// is too long for 32-bit sizes, or cannot be read or written.
bool RepairWAVFile(const std::string& path);

// Renames path to "<name>-YYYYMMDD-HHMMSS<ext>" in the same directory, dated
// by its last modification (local time), with "-2", "-3", ... added when the
// name is taken. Returns the new path; raises EFCreateError.
std::string MoveAsideFile(const std::string& path);
