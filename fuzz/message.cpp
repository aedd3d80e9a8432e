// The network messaging's frame reader, fed a connection's byte stream from
// another copy. The first input byte chooses how the rest is cut into reads;
// however it is cut, the same messages must come out, each within the
// protocol's 1024 payload bytes, and writing them again must give back
// exactly the bytes they were read from.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "runtime/net/message_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  if (size == 0) return 0;
  const size_t step = 1 + data[0] % 13;
  ++data;
  --size;
  mxt::FrameReader whole, cut;
  std::vector<mxt::NetMessage> a, b;
  const mxt::FrameReader::Result ra = whole.feed(data, size, a);
  mxt::FrameReader::Result rb = mxt::FrameReader::Result::ok;
  for (size_t at = 0; at < size && rb == mxt::FrameReader::Result::ok; at += step)
    rb = cut.feed(data + at, size - at < step ? size - at : step, b);
  MXT_FUZZ_CHECK(ra == rb);
  MXT_FUZZ_CHECK(a.size() == b.size());
  std::string again;
  for (size_t i = 0; i < a.size(); ++i) {
    MXT_FUZZ_CHECK(a[i].payload.size() <= mxt::kMaxMessagePayload);
    MXT_FUZZ_CHECK(a[i].type == b[i].type && a[i].to == b[i].to && a[i].from == b[i].from);
    MXT_FUZZ_CHECK(a[i].payload == b[i].payload);
    mxt::encode_message(a[i], again);
  }
  MXT_FUZZ_CHECK(again.size() <= size);
  MXT_FUZZ_CHECK(again == std::string(reinterpret_cast<const char*>(data), again.size()));
  if (ra == mxt::FrameReader::Result::ok) MXT_FUZZ_CHECK(again.size() + whole.buffered() == size);
  return 0;
}
