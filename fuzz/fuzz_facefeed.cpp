// panelsim's feed to its LED face, as the face reads it: any stream, cut
// anywhere, gives the views a whole read gives; every view read encodes back
// to the bytes it came from; nothing grows past one message's bound.
#include <string>
#include <vector>

#include "FaceFeed.h"
#include "FuzzSupport.h"

using namespace panelsim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::size_t cut = data[0] % 97 + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;

    FaceFeedReader whole;
    whole.feed(bytes, length);
    std::vector<FaceView> expected;
    while (auto view = whole.next()) {
        expected.push_back(*view);
    }

    FaceFeedReader pieces;
    std::vector<FaceView> got;
    for (std::size_t at = 0; at < length; at += cut) {
        pieces.feed(bytes + at, std::min(cut, length - at));
        while (auto view = pieces.next()) {
            got.push_back(*view);
        }
    }
    FUZZ_CHECK(got == expected);
    FUZZ_CHECK(pieces.skipped() == whole.skipped());
    for (const FaceView& view : got) {
        const std::string again = encodeFaceView(view);
        FUZZ_CHECK(again.size() <= FaceFeedReader::kMaxMessage);
        const auto back = decodeFaceView(again);
        FUZZ_CHECK(back && *back == view);
    }
    return 0;
}
