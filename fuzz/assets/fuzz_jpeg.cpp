// Fuzz entry point of the JPEG decoder: header, begin and every row, with both transforms.
#include "assets/jpeg_decoder.h"

#include <cstdint>
#include <initializer_list>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (bool packed : {true, false}) {
        unsigned char* copy = static_cast<unsigned char*>(std::malloc(size ? size : 1));
        if (size) std::memcpy(copy, data, size);
        JpegDecoder decoder(new JpegMemorySource(copy, size, true), packed);
        if (decoder.error() || decoder.begin() != 0) continue;
        const uint8_t* row;
        int length;
        unsigned sum = 0;
        while (decoder.readRow(&row, &length) == 0) sum += row[0] + row[length - 1];
        (void)sum;
    }
    return 0;
}
