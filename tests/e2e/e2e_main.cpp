#include "viewer_fixture.h"

#include <cstring>
#include <iostream>

namespace moiravel::e2e {
void releaseSharedServer();
}

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--server=xvfb") == 0) {
            moiravel::e2e::serverKind = moiravel::xtest::XServerKind::Xvfb;
        } else if (std::strcmp(argv[i], "--server=xorg_dummy") == 0) {
            moiravel::e2e::serverKind = moiravel::xtest::XServerKind::XorgDummy;
        } else {
            std::cerr << "unknown argument " << argv[i] << " (use --server=xvfb|xorg_dummy)\n";
            return 2;
        }
    }
    int result = RUN_ALL_TESTS();
    moiravel::e2e::releaseSharedServer();
    return result;
}
