#include "testing/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "support/exe_dir.h"
#include "support/utf8_files.h"

namespace quillane::test {

namespace fs = std::filesystem;

// A name nobody else holds: create_directory fails on an existing folder, so
// the first name it creates is ours alone (what mkdtemp does, on every platform).
TempFolder::TempFolder() {
    const fs::path base = fs::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / ("quillane-test-" + std::to_string(random()));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            m_dir = Utf8FromPath(candidate) + kPathSeparator;
            return;
        }
    }
    throw std::runtime_error("no temporary folder in " + Utf8FromPath(base));
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(PathFromUtf8(m_dir), ignored);
}

std::string TempFolder::Write(const std::string& name, std::string_view bytes) const {
    WriteBytes(File(name), bytes);
    return File(name);
}

std::string TempFolder::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    return Write(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string TempFolder::Read(const std::string& name) const {
    return ReadBytes(File(name));
}

std::string TempFolder::ReadText(const std::string& name) const {
    std::ifstream in(PathFromUtf8(File(name)));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TempFolder::LogFile(const std::string& name) const {
    return std::string("log") + kPathSeparator + name;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace quillane::test
