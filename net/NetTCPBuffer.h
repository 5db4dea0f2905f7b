// TNetManagedBuffer: the input buffer of a connection. Consumed bytes are
// skipped by an offset and only moved out when 32768 of them have gathered
// (or the buffer is empty), so taking lines off the front stays cheap.
#pragma once

#include <cstddef>
#include <string>

class TNetManagedBuffer {
public:
    static constexpr size_t CompactAt = 32768;

    size_t Size() const { return FData.size() - FOffset; }
    bool Empty() const { return Size() == 0; }
    const char* Data() const { return FData.data() + FOffset; }
    void Append(const char* data, size_t count) { FData.append(data, count); }
    void Clear() {
        FData.clear();
        FOffset = 0;
    }
    // Takes count bytes off the front; ENetNotEnoughDataInBuffer past the end.
    std::string Extract(size_t count);
    // Drops count bytes off the front.
    void Remove(size_t count);

private:
    std::string FData;
    size_t FOffset = 0;
};
