// Rewrites the pinned model after a deliberate change of its bytes:
//   cmake --build build --target update-golden
// Check the new bytes (vloinfo --json --full) before committing them.
#include <fstream>
#include <iostream>

#include "golden_scene.h"

int main() {
    const std::vector<std::uint8_t> bytes = support::ExportGoldenTinyModel();
    if (bytes.empty()) {
        std::cerr << "error: the golden scene did not export\n";
        return 1;
    }
    const std::string path = support::GoldenTinyModelPath();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush()) {
        std::cerr << "error: cannot write " << path << "\n";
        return 1;
    }
    std::cout << "rewrote " << path << " (" << bytes.size() << " bytes): check them before committing\n";
    return 0;
}
