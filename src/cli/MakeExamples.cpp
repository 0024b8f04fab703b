// orv-make-examples DIRECTORY: writes the sample documents and their README.

#include <exception>
#include <iostream>

#include "cli/ExampleDocuments.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::cerr << "Usage: orv-make-examples DIRECTORY\n";
        return 1;
    }
    try {
        for (const std::string& name : orv::examples::writeExamples(argv[1])) {
            std::cout << name << '\n';
        }
    } catch (const std::exception& failure) {
        std::cerr << "orv-make-examples: " << failure.what() << '\n';
        return 2;
    }
    return 0;
}
