#include "support/written_output.h"

#include <stdexcept>

#include "support/test_files.h"

namespace salvora::test {

OutputFile outputHolding(const std::vector<uint8_t>& bytes, Held where) {
    OutputFile output = OutputFile::inMemory();
    if (where == Held::kOnDisk) {
        static TempDir directory;
        static OutputFolder folder;
        if (!folder.isOpen() && folder.open(directory.folder()) != 0)
            throw std::runtime_error("cannot open a temporary folder");
        output = OutputFile(folder, "out", 0);  // nothing stays in memory
    }
    if (!bytes.empty() && output.append(bytes.data(), bytes.size()) != 0)
        throw std::runtime_error("cannot write a temporary file");
    return output;
}

}  // namespace salvora::test
