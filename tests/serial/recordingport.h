#pragma once

#include "serial/serialport.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// A plain port that records every byte it receives and the size of every read; free of Qt and
// GoogleTest, so the Windows test program under Wine uses it too.
class RecordingPort : public serial::SerialPort
{
public:
    ~RecordingPort() override { Close(); }
    void OnByteReceived(char byte) override
    {
        std::lock_guard lock(Lock);
        Bytes.push_back(byte);
    }
    std::string Received()
    {
        std::lock_guard lock(Lock);
        return Bytes;
    }
    std::size_t Size()
    {
        std::lock_guard lock(Lock);
        return Bytes.size();
    }
    // The bytes so far; the record starts afresh.
    std::string Take()
    {
        std::lock_guard lock(Lock);
        std::string out;
        out.swap(Bytes);
        ChunkSizes.clear();
        return out;
    }
    std::vector<std::size_t> Chunks()
    {
        std::lock_guard lock(Lock);
        return ChunkSizes;
    }

protected:
    void OnBytesReceived(const char* data, std::size_t size) override
    {
        {
            std::lock_guard lock(Lock);
            ChunkSizes.push_back(size);
        }
        serial::SerialPort::OnBytesReceived(data, size);
    }

private:
    std::mutex Lock;
    std::string Bytes;
    std::vector<std::size_t> ChunkSizes;
};
