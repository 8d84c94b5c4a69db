#include "support/pathhelpers.h"

std::string SourceDir() {
    return DPU_SOURCE_DIR;
}

std::string AssetsDir() {
    return SourceDir() + "/assets";
}
