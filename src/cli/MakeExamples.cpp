// orv-make-examples DIRECTORY [LIBRARY]: writes the sample documents and their README, the
// systems read from the .ifs file LIBRARY (by default the source tree's examples/classic.ifs).

#include <exception>
#include <iostream>

#include "cli/ExampleDocuments.h"

int main(int argc, char* argv[]) {
    if (argc != 2 && argc != 3) {
        std::cerr << "Usage: orv-make-examples DIRECTORY [LIBRARY.ifs]\n";
        return 1;
    }
    try {
        const std::string library = argc == 3 ? argv[2] : ORV_CLASSIC_LIBRARY;
        for (const std::string& name : orv::examples::writeExamples(argv[1], library)) {
            std::cout << name << '\n';
        }
    } catch (const std::exception& failure) {
        std::cerr << "orv-make-examples: " << failure.what() << '\n';
        return 2;
    }
    return 0;
}
