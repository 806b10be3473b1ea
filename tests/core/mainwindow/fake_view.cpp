#include "fake_view.h"

#include <fstream>
#include <sstream>

namespace quillane::testing {

void TempAppDir::Write(const std::string& name, const std::string& content) const {
    std::ofstream(File(name), std::ios::binary) << content;
}

std::string TempAppDir::Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace quillane::testing
