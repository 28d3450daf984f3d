#include "startup.h"

int main(int argc, char** argv) {
    return quorcmd::runQuorcmd(argc, argv);
}
