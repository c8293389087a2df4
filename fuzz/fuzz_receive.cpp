// libFuzzer target: any bytes from the instrument's side through the port
// layer's input assembly and the protocol's receive handler (ReceiveFuzz.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "ReceiveFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string failure = velnor::fuzz::RunReceiveInput(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "receive path: %s\n", failure.c_str());
        __builtin_trap();
    }
    return 0;
}
