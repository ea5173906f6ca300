// Reads classic pcap capture files (microsecond or nanosecond, either byte
// order). Test-side code shared by the fake capture library, the replay tests
// and the benchmarks; the product never reads capture files.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

struct PcapRecord {
    uint32_t seconds;
    uint32_t microseconds;
    uint32_t originalLength;
    std::vector<unsigned char> bytes; // the captured bytes
};

class PcapFile {
public:
    ~PcapFile() { if (file_) std::fclose(file_); }
    bool Open(const char* path)
    {
        file_ = std::fopen(path, "rb");
        if (!file_)
            return false;
        unsigned char header[24];
        if (std::fread(header, 1, sizeof header, file_) != sizeof header)
            return false;
        uint32_t magic = Le32(header);
        if (magic == 0xa1b2c3d4u || magic == 0xa1b23c4du) {
            swapped_ = false;
        } else if (magic == 0xd4c3b2a1u || magic == 0x4d3cb2a1u) {
            swapped_ = true;
            magic = Swap(magic);
        } else {
            return false;
        }
        nanoseconds_ = (magic == 0xa1b23c4du);
        linkType_ = Word(header + 20);
        return true;
    }
    // False at the end of the file or on a truncated record.
    bool Next(PcapRecord* record)
    {
        unsigned char header[16];
        if (!file_ || std::fread(header, 1, sizeof header, file_) != sizeof header)
            return false;
        record->seconds = Word(header);
        uint32_t fraction = Word(header + 4);
        record->microseconds = nanoseconds_ ? fraction / 1000 : fraction;
        uint32_t captured = Word(header + 8);
        record->originalLength = Word(header + 12);
        if (captured > 262144)
            return false;
        record->bytes.resize(captured);
        return captured == 0 || std::fread(record->bytes.data(), 1, captured, file_) == captured;
    }
    static std::vector<PcapRecord> ReadAll(const char* path)
    {
        std::vector<PcapRecord> records;
        PcapFile file;
        if (!file.Open(path))
            return records;
        PcapRecord record;
        while (file.Next(&record))
            records.push_back(record);
        return records;
    }
    uint32_t linkType() const { return linkType_; }

private:
    static uint32_t Le32(const unsigned char* p)
    {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    static uint32_t Swap(uint32_t v)
    {
        return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
    }
    uint32_t Word(const unsigned char* p) const { return swapped_ ? Swap(Le32(p)) : Le32(p); }

    std::FILE* file_ = nullptr;
    bool swapped_ = false;
    bool nanoseconds_ = false;
    uint32_t linkType_ = 0;
};
