#include "stimulark/app/Application.hpp"

int main(int argc, char** argv) {
    return Stimulark::runApplication(argc, argv);
}
