// Prints, for each file named, the call details text the plug-in makes of it,
// in hexadecimal, one line per file: for the result parser's tests.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "workspace/call_details.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        for (const char c : workspace::CallDetailsText(bytes)) {
            std::printf("%02x", static_cast<unsigned char>(c));
        }
        std::printf("\n");
    }
    return 0;
}
