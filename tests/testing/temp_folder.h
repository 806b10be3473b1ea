#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillane::test {

// A fresh folder of its own for one test (standing in for the executable's
// folder, a firmware folder...); removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with a final separator, as the executable's folder comes.
    const std::string& Dir() const { return m_dir; }
    std::string File(const std::string& name) const { return m_dir + name; }
    // Writes the file (replacing it) and returns its path.
    std::string Write(const std::string& name, std::string_view bytes) const;
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::string Read(const std::string& name) const;
    // A text file as a C text stream reads it: "\r\n" ends a line on Windows.
    std::string ReadText(const std::string& name) const;
    // "log" + separator + name: a file in the folder's log folder.
    std::string LogFile(const std::string& name) const;

private:
    std::string m_dir;
};

// Whole files as bytes; a missing file reads as "".
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);

}  // namespace quillane::test
