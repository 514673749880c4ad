// Drives PXMFile over a file holding the input, with a sequence of reads,
// seeks and buffer operations chosen by the input's own bytes, and checks
// that every read stays inside its buffer and returns the file's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "krtools/file.h"

namespace {

std::string ScratchPath() {
    static const std::string path = "/tmp/pxmfile_fuzzer." + std::to_string(std::rand()) + "." +
                                    std::to_string(reinterpret_cast<uintptr_t>(&path));
    return path;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

// Reads the whole file with Fread in chunks and compares it with `content`.
void ReadAll(PXMFile& file, const std::string& content, int chunk) {
    file.Rewind();
    std::string joined;
    for (int n; (n = file.Fread(chunk)) > 0;) {
        Check(n <= chunk);
        joined.append(file.GetBuffer(), static_cast<size_t>(n));
    }
    Check(file.GetEOFSwitch());
    Check(joined == content);
}

void Step(PXMFile& file, uint8_t op, uint8_t arg, const std::string& content) {
    switch (op % 10) {
        case 0: {
            int n = file.Fgets();
            // A read that returns 0 leaves the buffer as it was.
            Check(n >= 0 && n < file.GetBufferSize());
            Check(n == 0 || static_cast<size_t>(n) == std::strlen(file.GetBuffer()));
            break;
        }
        case 1: {
            std::vector<char> own(static_cast<size_t>(arg % 8) + 1);
            int n = file.Fgets(own.data(), static_cast<int>(own.size()));
            Check(n >= 0 && static_cast<size_t>(n) < own.size());
            break;
        }
        case 2: {
            int n = file.Fread(arg % (file.GetBufferSize() + 1));
            Check(n >= 0 && n <= file.GetBufferSize());
            break;
        }
        case 3:
            file.Fseek(static_cast<long>(static_cast<int8_t>(arg)));
            break;
        case 4:
            file.Fseek(arg % 3, static_cast<long>(static_cast<int8_t>(arg)));
            break;
        case 5:
            file.Rewind();
            break;
        case 6: {
            long long position = file.Fgetpos();
            Check(position == file.Ftell());
            file.Fsetpos(position);
            break;
        }
        case 7: {
            size_t length = static_cast<size_t>(arg) % (content.size() + 1);
            if (static_cast<int>(length) <= file.GetBufferSize()) {
                file.SetBuffer(content.data(), static_cast<int>(length));
            }
            break;
        }
        case 8:
            file.AllocateBuffer(arg % 64 + 1);
            break;
        default:
            ReadAll(file, content, arg % 32 + 1);
            file.AllocateBuffer(arg % 32 + 1);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string content(reinterpret_cast<const char*>(data), size);
    const std::string path = ScratchPath();
    {
        PXMFile writer(path.c_str(), "wb");
        writer.Open();
        writer.Fwrite(content.data(), static_cast<int>(content.size()));
    }
    PXMFile file(path.c_str(), "rb");
    file.SetDeleteOnDestroy(true);
    file.Open();
    file.AllocateBuffer(data[0] % 64 + 1);
    for (size_t i = 1; i + 1 < size && i < 200; i += 2) {
        try {
            Step(file, data[i], data[i + 1], content);
        } catch (const PXMFileException&) {
            // Seeks before the start of the file fail; the object stays usable.
        }
    }

    std::string joined;
    BuildFullyQualifiedFilename(content.c_str(), content.c_str() + 1, joined);
    Check(joined.size() >= std::strlen(content.c_str() + 1) + 1);
    return 0;
}
