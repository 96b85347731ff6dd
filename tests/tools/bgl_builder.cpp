// Writes BGL files from a description (tests/support/bgl/bgl_builder.md), or the
// benchmark's tree.
//   bgl_builder <description file> <output folder>
//   bgl_builder --bench-tree <output folder> <airport files> <other files> [seed]
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>

#include "bgl/bgl_builder.h"

int main(int argc, char** argv)
{
    try {
        const std::string first = argc > 1 ? argv[1] : "";
        if (first == "--bench-tree" && argc >= 5) {
            std::vector<std::string> codes;
            for (char a = 'A'; a <= 'Z'; ++a)
                codes.push_back(std::string("BX") + a + 'A');
            const bglbuild::BenchTree tree =
                bglbuild::writeBenchTree(argv[2], codes, static_cast<uint32_t>(std::stoul(argv[3])),
                                         static_cast<uint32_t>(std::stoul(argv[4])), 100,
                                         argc > 5 ? static_cast<uint32_t>(std::stoul(argv[5])) : 1);
            std::printf("%llu files, %llu bytes\n", static_cast<unsigned long long>(tree.files),
                        static_cast<unsigned long long>(tree.bytes));
            return 0;
        }
        if (argc != 3) {
            std::fprintf(stderr, "usage: bgl_builder <description file> <output folder>\n"
                                 "       bgl_builder --bench-tree <output folder> <airports> <others> [seed]\n");
            return 2;
        }
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "bgl_builder: cannot read %s\n", argv[1]);
            return 1;
        }
        std::ostringstream text;
        text << in.rdbuf();
        bglbuild::writeTree(argv[2], text.str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bgl_builder: %s\n", e.what());
        return 1;
    }
}
