#include "share/quorshare_cli.h"

int main(int argc, char** argv) {
    return share::RunQuorshare(argc, argv);
}
