#pragma once

// SHA-256 of a file or of bytes, as run reports and dry runs name the
// firmware image that went (or would go) to each device.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillane {

class Sha256 {
public:
    Sha256();
    void Add(const void* data, size_t size);
    // The digest; the object is spent afterwards.
    std::array<uint8_t, 32> Finish();

private:
    void Compress(const uint8_t* block);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_block{};
    size_t m_blockUsed = 0;
    uint64_t m_totalBytes = 0;
};

// Lower-case hexadecimal digest of `bytes`.
std::string Sha256Hex(std::string_view bytes);

// A file's size and digest, read in one pass; nullopt when it cannot be read.
struct FileDigest {
    uint64_t size = 0;
    std::string sha256;  // lower-case hexadecimal
};
std::optional<FileDigest> DigestFile(const std::string& utf8Path);

}  // namespace quillane
