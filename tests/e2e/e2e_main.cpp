// SPDX-License-Identifier: MIT
#include "viewer_fixture.h"

#include <cstring>
#include <iostream>

namespace moiravel::e2e {
void releaseSharedServer();
}

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    using moiravel::xtest::XServerKind;
    for (int i = 1; i < argc; ++i) {
        bool known = false;
        for (XServerKind kind : moiravel::xtest::allXServerKinds) {
            if (std::strcmp(
                    argv[i],
                    (std::string("--server=") + moiravel::e2e::serverOption(kind)).c_str()) == 0) {
                moiravel::e2e::serverKind = kind;
                known = true;
            }
        }
        if (!known) {
            std::cerr << "unknown argument " << argv[i] << " (use --server=";
            const char *separator = "";
            for (XServerKind kind : moiravel::xtest::allXServerKinds) {
                std::cerr << separator << moiravel::e2e::serverOption(kind);
                separator = "|";
            }
            std::cerr << ")\n";
            return 2;
        }
    }
    int result = RUN_ALL_TESTS();
    moiravel::e2e::releaseSharedServer();
    return result;
}
